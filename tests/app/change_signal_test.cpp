#include "app/change_signal.hpp"

#include <gtest/gtest.h>
#include <optional>

using namespace pennial;

TEST(ChangeSignal, ObserversStayConnectedWhileTheyKeepTheirConnection) {
    ChangeSignal signal;
    int a = 0, b = 0;
    auto first = signal.connect([&] { ++a; });
    {
        auto second = signal.connect([&] { ++b; });
        signal.notify();
    }
    signal.notify();
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
}

TEST(ChangeSignal, ACallbackMayDisconnectOthersWhileNotified) {
    ChangeSignal signal;
    int later = 0;
    std::optional<ChangeSignal::Connection> second;
    auto first = signal.connect([&] { second.reset(); });
    second = signal.connect([&] { ++later; });
    signal.notify();
    EXPECT_EQ(later, 0);
    EXPECT_FALSE(first.connected() && second.has_value());
}

TEST(ChangeSignal, ObservableAnnouncesOnlyRealChanges) {
    Observable<int> value(1);
    int changes = 0;
    auto connection = value.changed().connect([&] { ++changes; });
    value.update([](int& v) { v = 1; });
    value.update([](int& v) { v = 2; });
    EXPECT_EQ(value.get(), 2);
    EXPECT_EQ(changes, 1);
}
