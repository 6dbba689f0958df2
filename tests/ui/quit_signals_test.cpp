// The signals that end the program: one quits it through the main thread, a signal ignored when
// the program started stays ignored, and the earlier handling comes back when they go.

#include "ui/app/quit_signals.hpp"
#include "ui_test_fixture.hpp"

#include <csignal>

namespace sorvin::test {
namespace {

void (*handlerOf(int number))(int) {
    struct sigaction action {};
    ::sigaction(number, nullptr, &action);
    return action.sa_handler;
}

TEST(QuitSignalsTest, OneSignalQuitsOnceThroughTheMainThread) {
    application();
    int quits = 0;
    const QuitSignals signals([&] { ++quits; });
    ::raise(SIGTERM);
    EXPECT_EQ(quits, 0) << "the handler itself does nothing but note it";
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(quits, 1);
}

TEST(QuitSignalsTest, ASignalIgnoredAtStartStaysIgnoredAndTheEarlierHandlingComesBack) {
    application();
    const auto before = handlerOf(SIGTERM);
    const auto hangUp = std::signal(SIGHUP, SIG_IGN);
    int quits = 0;
    {
        const QuitSignals signals([&] { ++quits; });
        EXPECT_NE(handlerOf(SIGTERM), before);
        ::raise(SIGHUP);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(quits, 0);
    }
    EXPECT_EQ(handlerOf(SIGTERM), before);
    EXPECT_EQ(std::signal(SIGHUP, hangUp), SIG_IGN);
}

} // namespace
} // namespace sorvin::test
