#include "Event.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(Event, FansOutAndEndsWithEachSubscription) {
    TEvent<int> event;
    std::string calls;
    TSubscription a, b, c, added;
    a = event.Subscribe([&](int v) { calls += "a" + std::to_string(v); });
    b = event.Subscribe([&](int v) {
        calls += "b" + std::to_string(v);
        a.Reset(); // ends another's subscription while the event is raised
        if (v == 1) added = event.Subscribe([&](int w) { calls += "d" + std::to_string(w); });
    });
    c = event.Subscribe([&](int v) {
        calls += "c" + std::to_string(v);
        b.Reset(); // and its own neighbour's, after it ran
    });
    event(1); // d, added during the raise, waits for the next one
    event(2);
    EXPECT_EQ(calls, "a1b1c1c2d2");

    // An event that goes first leaves subscriptions that end harmlessly.
    TSubscription late;
    {
        TEvent<> gone;
        late = gone.Subscribe([] {});
    }
    late.Reset();
}

// A listener that ends a later listener of the same raise keeps it from being called; one that
// ends itself runs to its end; one subscribed during a raise waits for the next raise.
TEST(Event, ListenersChangedDuringARaise) {
    TEvent<> event;
    std::string calls;
    TSubscription a, b, c, added;
    a = event.Subscribe([&] {
        calls += "a";
        b.Reset();
        a.Reset();
        added = event.Subscribe([&] { calls += "d"; });
    });
    b = event.Subscribe([&] { calls += "b"; });
    c = event.Subscribe([&] { calls += "c"; });
    event();
    EXPECT_EQ(calls, "ac");
    event();
    EXPECT_EQ(calls, "accd");
}

// The owner of an event goes away from inside its own notification (a window closed by the
// event it listens to): the raise ends there, reading nothing freed and calling nobody else.
TEST(Event, OwnerDestroyedWhileRaised) {
    struct TOwner {
        TEvent<int> Changed;
    };
    auto owner = std::make_unique<TOwner>();
    std::string calls;
    TSubscription first = owner->Changed.Subscribe([&](int v) {
        calls += "first" + std::to_string(v);
        owner.reset();
    });
    TSubscription second = owner->Changed.Subscribe([&](int) { calls += "second"; });
    owner->Changed(7);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(calls, "first7");
    first.Reset();
    second.Reset();
}

} // namespace
