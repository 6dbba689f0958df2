#include "platform/signal.hpp"

#include <gtest/gtest.h>
#include <optional>

namespace sorvin {
namespace {

TEST(Signal, DeliversToEveryConnectedSlotInConnectionOrder) {
    Signal<int> signal;
    std::vector<int> calls;
    auto first = signal.connect([&](int v) { calls.push_back(v); });
    auto second = signal.connect([&](int v) { calls.push_back(v * 10); });
    signal.emit(3);
    EXPECT_EQ(calls, (std::vector<int>{3, 30}));
}

TEST(Signal, ConnectionDisconnectsWhenDestroyedAndMayOutliveTheSignal) {
    std::optional<Signal<>> signal(std::in_place);
    int calls = 0;
    {
        auto connection = signal->connect([&] { ++calls; });
        signal->emit();
        EXPECT_TRUE(connection.connected());
    }
    signal->emit();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(signal->connectionCount(), 0u);

    auto late = signal->connect([&] { ++calls; });
    signal.reset();
    EXPECT_FALSE(late.connected());
    late.disconnect(); // no signal left: nothing to do, no crash
}

TEST(Signal, SlotsMayDisconnectOthersAndThemselvesDuringEmission) {
    Signal<> signal;
    int secondCalls = 0;
    Signal<>::Connection second;
    Signal<>::Connection first = signal.connect([&] {
        second.disconnect();
        first.disconnect();
    });
    second = signal.connect([&] { ++secondCalls; });
    signal.emit();
    EXPECT_EQ(secondCalls, 0);
    EXPECT_EQ(signal.connectionCount(), 0u);
}

} // namespace
} // namespace sorvin
