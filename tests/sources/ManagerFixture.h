// A channel manager with three channels, headless (offscreen ports, no
// sound device), for the manager's tests.
#pragma once

#include "sources/CManager.h"

#include <QCoreApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace tavrin::test {

class TManagerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "manager_tests";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr) {
            // Kept to the end of the process: destroyed by the exit handlers
            // it would outlive Qt's own statics.
            static QCoreApplication* app = new QCoreApplication(argc, argv);
            (void)app;
        }
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
    void SetUp() override {
        ASSERT_EQ(0, manager.initialize(0, 1280, 720, 2048 * 1024, {0, 0, 320, 180}, 0, {1, 2, 3},
                                        {}, {}, nullptr));
    }
    TClientInfo Info(int ch) const {
        TClientInfo info;
        EXPECT_TRUE(manager.GetConInfo(ch, info));
        return info;
    }
    std::vector<int32_t> Programme() {
        std::vector<int32_t> ports;
        manager.GetCombinePorts(ports);
        return ports;
    }

    TCManager manager;
};

} // namespace tavrin::test
