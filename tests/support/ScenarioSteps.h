// Long scenario tests walk through named steps; every failure reported
// inside a step carries the step's name and line, so a report says where
// the scenario broke without reading the whole test.
#pragma once

#include <gtest/gtest.h>
#include <optional>

namespace tavrin::test {

class TScenarioSteps {
public:
    // Ends the previous step and starts the next one.
    void Step(const char* file, int line, const char* name) {
        trace_.reset();
        trace_.emplace(file, line, name);
    }

private:
    std::optional<::testing::ScopedTrace> trace_;
};

} // namespace tavrin::test

// STEP(steps, "what this step does") at the start of each step.
#define TAVRIN_STEP(steps, name) (steps).Step(__FILE__, __LINE__, "step: " name)
