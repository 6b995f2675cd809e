// A serial line played from a script on a fake clock.
//
// Tests say what the far side sends and when; the exchange under test polls
// the line exactly as it polls a real port. Waiting never takes real time: a
// wait moves the fake clock forward to the next delivery (or to the end of
// the wait), so a test of a 2000 ms time-out finishes at once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/serialline.h"

namespace tarvelin::test {

class FakeClock final : public tarvelin::Clock {
public:
    std::int64_t nowMs() const override { return now_; }
    void advance(std::int64_t ms) { now_ += ms; }
    void set(std::int64_t ms) { now_ = ms; }

private:
    std::int64_t now_ = 0;
};

class ScriptedLine final : public tarvelin::SerialLine {
public:
    using Responder = std::function<void(ScriptedLine&, const std::string& written)>;

    // Owns a FakeClock that starts at t = 1000. The line starts closed.
    ScriptedLine();

    FakeClock& clock() { return clock_; }
    const FakeClock& clock() const { return clock_; }

    // Makes `bytes` available to takeAll() once the clock reaches `atMs`
    // (absolute). Deliveries due at the same time come out in the order they
    // were scripted. An empty delivery wakes a waiting reader with nothing to
    // read.
    void deliverAt(std::int64_t atMs, std::string bytes);
    // ... or `delayMs` after now.
    void deliverIn(std::int64_t delayMs, std::string bytes);
    // ... in a read of its own, even when due together with earlier bytes:
    // it arrived just after the read that took them.
    void deliverApartIn(std::int64_t delayMs, std::string bytes);

    // Called on every successful write with the bytes written; the clock
    // reads the time of the write. May call deliverIn/deliverAt.
    void onWrite(Responder responder) { responder_ = std::move(responder); }

    const std::vector<std::string>& writes() const { return writes_; }  // every write, in order
    std::string wire() const;                                           // all writes concatenated
    void clearWrites() { writes_.clear(); }

    // The result the next open() gives, e.g. {OpenError::Busy, ""}; once.
    void failNextOpen(tarvelin::OpenResult result) { nextOpen_ = std::move(result); }
    int openCalls() const { return openCalls_; }
    int closeCalls() const { return closeCalls_; }

    // The line takes `count` more writes, then refuses each (a driver that
    // refuses or times out a write): write() records nothing and says false.
    void refuseWritesAfter(std::size_t count) { writesLeft_ = count; }

    // The device went away (lost() true, writes fail); false brings it back.
    void setLost(bool lost);
    // The device goes away once the clock reaches `atMs`; a wait ends there.
    void loseAt(std::int64_t atMs) { lostAt_ = atMs; }

    int waitCalls() const { return waitCalls_; }  // how often waitForData was called
    int takeCalls() const { return takeCalls_; }  // how often takeAll was called

    // SerialLine
    void setDevice(const std::string& device) override { device_ = device; }
    std::string device() const override { return device_; }
    // Accepts "baud,N|E|O,7|8,1|2" with a positive whole baud rate.
    bool setSettings(const std::string& settings) override;
    std::string settings() const override { return settings_; }
    tarvelin::OpenResult open() override;
    // Discards whatever has arrived and was not taken; later deliveries stay.
    void close() override;
    bool isOpen() const override { return open_; }
    // Records the bytes; fails (records nothing) when closed or lost.
    bool write(const std::string& bytes) override;
    // Everything due by now, concatenated, up to a delivery that comes apart;
    // never waits. Empty while closed.
    std::string takeAll() override;
    // Returns at once if something is due (or the line is closed or lost);
    // otherwise moves the clock to the earlier of the next delivery, the loss
    // of the device and now + timeoutMs, never beyond.
    void waitForData(int timeoutMs) override;
    bool lost() const override;

private:
    struct Delivery {
        std::int64_t atMs;
        std::uint64_t order;
        std::string bytes;
        bool apart = false;
    };
    bool somethingDue() const;

    FakeClock clock_;
    std::vector<Delivery> deliveries_;  // sorted by (atMs, order)
    std::uint64_t nextOrder_ = 0;
    Responder responder_;
    std::vector<std::string> writes_;
    std::optional<tarvelin::OpenResult> nextOpen_;
    std::string device_;
    std::string settings_ = "9600,N,8,1";
    bool open_ = false;
    bool lostFlag_ = false;
    std::optional<std::int64_t> lostAt_;
    std::optional<std::size_t> writesLeft_;
    int openCalls_ = 0;
    int closeCalls_ = 0;
    int waitCalls_ = 0;
    int takeCalls_ = 0;
};

}  // namespace tarvelin::test
