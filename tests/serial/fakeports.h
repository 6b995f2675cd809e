// A port enumerator for tests: it reports whatever the test has put in its
// list at the moment it is asked, and counts how often it was asked.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "serial/portenumerator.h"

namespace tarvelin::test {

class FakePorts final : public tarvelin::PortEnumerator {
public:
    struct State {
        std::vector<tarvelin::SystemPort> ports;
        // When set, asked instead of `ports` (a list that follows running simulators).
        std::function<std::vector<tarvelin::SystemPort>()> source;
        int calls = 0;
    };

    explicit FakePorts(std::shared_ptr<State> state) : state_(std::move(state)) {}

    std::vector<tarvelin::SystemPort> ports() override {
        ++state_->calls;
        return state_->source ? state_->source() : state_->ports;
    }

private:
    std::shared_ptr<State> state_;
};

}  // namespace tarvelin::test
