// The command guard: one command at a time, a close held back until the command ends, one
// unload.
#include "form/command_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace vexilo::form {
namespace {

TEST(CommandGuard, SecondCommandWhileOneRunsIsIgnored) {
    CommandGuard guard;
    int inner = 0;
    bool innerRan = true;
    EXPECT_TRUE(guard.run([&] {
        EXPECT_TRUE(guard.isRunning());
        innerRan = guard.run([&] { ++inner; });
    }));
    EXPECT_FALSE(innerRan);
    EXPECT_EQ(inner, 0);
    EXPECT_FALSE(guard.isRunning());
    EXPECT_TRUE(guard.run([&] { ++inner; }));
    EXPECT_EQ(inner, 1);
}

TEST(CommandGuard, CloseDuringCommandIsCarriedOutAfterIt) {
    CommandGuard guard;
    std::string log;
    guard.setUnloadHandler([&] { log += "unload;"; });
    guard.setCloser([&] {
        log += "close;";
        if (guard.requestClose() == CommandGuard::CloseVerdict::Close) {
            log += "closed;";
        }
    });
    guard.run([&] {
        EXPECT_EQ(guard.requestClose(), CommandGuard::CloseVerdict::Deferred);
        EXPECT_EQ(guard.requestClose(), CommandGuard::CloseVerdict::Deferred);
        log += "command ends;";
    });
    EXPECT_EQ(log, "command ends;close;unload;closed;");
}

TEST(CommandGuard, UnloadRunsOnceHoweverOftenClosed) {
    CommandGuard guard;
    int unloads = 0;
    guard.setUnloadHandler([&] { ++unloads; });
    EXPECT_EQ(guard.requestClose(), CommandGuard::CloseVerdict::Close);
    EXPECT_EQ(guard.requestClose(), CommandGuard::CloseVerdict::Close);
    EXPECT_EQ(unloads, 1);
}

TEST(CommandGuard, CloseDuringCommandWithoutCloserStillUnloads) {
    CommandGuard guard;
    int unloads = 0;
    guard.setUnloadHandler([&] { ++unloads; });
    guard.run([&] { (void)guard.requestClose(); });
    EXPECT_EQ(unloads, 1);
}

} // namespace
} // namespace vexilo::form
