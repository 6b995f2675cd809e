// The simulated controller on a pseudo-terminal: the tool opens the slave side
// (/dev/pts/N) as it would open a serial adapter, and a reader thread plays
// the controller on the master side.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "controller.h"

namespace korvex {

class PtySimulator {
public:
    // `paceBaud` > 0 delays every reply by the time its characters take on a
    // line of that speed (10 bits each); 0 answers at once.
    explicit PtySimulator(Config config = {}, int paceBaud = 0);
    ~PtySimulator();  // stops and closes
    PtySimulator(const PtySimulator&) = delete;
    PtySimulator& operator=(const PtySimulator&) = delete;

    // Opens a pty (raw on both sides) and starts answering. After hangUp() or
    // stop() it opens a new one (usually under another name).
    bool start();
    // Stops answering, closes the pty and removes the link made by makeLink().
    void stop();
    bool running() const { return master_ >= 0; }

    // The slave side, e.g. "/dev/pts/7": what the tool opens.
    std::string devicePath() const { return path_; }
    // A symbolic link to the device (an existing link at `path` is replaced).
    bool makeLink(const std::string& path);
    // Closes the master side: the tool sees the device go away. The link, if
    // any, is left dangling, as a vanished adapter leaves its name.
    void hangUp();

    // Thread-safe views of the controller.
    Memory memory() const;
    void setByte(int address, int value);
    void setMemory(const Memory& memory);
    std::vector<std::string> log() const;
    void clearLog();
    std::vector<Controller::Write> writes() const;
    int rebootCount() const;
    int enableCount() const;
    // Replaces the faults and begins their counts afresh.
    void setFaults(const Faults& faults);
    void setLineEnd(LineEnd end);
    void setStyle(ReplyStyle style);
    void setVersion(const std::string& version);
    void setStation(int station);
    // Answers only while the line is set to `baud` (as the tool sets the
    // pseudo-terminal); at any other speed every chunk from the tool gets
    // unreadable bytes back, as a real line at the wrong speed gives. 0 (the
    // default): answers at any speed.
    void setLineSpeed(int baud) { lineSpeed_ = baud; }

    // Writes raw bytes towards the tool (a stray LF, a late reply).
    void inject(const std::string& bytes);
    // How many bytes written towards the tool wait in the pseudo-terminal,
    // not yet taken by the tool.
    int waitingForTool() const;

    // Called on the reader thread with every chunk read from the tool
    // (`fromTool` true) and every reply piece written to it.
    using Trace = std::function<void(bool fromTool, const std::string& bytes)>;
    void setTrace(Trace trace);

private:
    void run();
    void deliver(const std::string& reply, int pieces);
    void writeAll(const std::string& bytes);
    void closeAll();
    // The baud rate the line is set to now (0 when unknown).
    int lineBaud() const;

    mutable std::mutex mutex_;  // guards controller_ and trace_
    Controller controller_;
    Trace trace_;
    const int paceBaud_;
    std::atomic<int> lineSpeed_{0};

    std::mutex writeMutex_;  // one writer on the master at a time
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees the tool's close as a hang-up
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread reader_;
    std::string path_;
    std::string link_;
};

}  // namespace korvex
