#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Ends a subscription to a TEvent when it is destroyed or reset. A listener keeps its
// subscriptions as members, so that nothing calls into it once it is gone.
class TSubscription {
public:
    TSubscription() = default;
    explicit TSubscription(std::function<void()> Cancel) : FCancel(std::move(Cancel)) {}
    TSubscription(TSubscription&& Other) noexcept : FCancel(std::exchange(Other.FCancel, {})) {}
    TSubscription& operator=(TSubscription&& Other) noexcept {
        if (this != &Other) {
            Reset();
            FCancel = std::exchange(Other.FCancel, {});
        }
        return *this;
    }
    TSubscription(const TSubscription&) = delete;
    TSubscription& operator=(const TSubscription&) = delete;
    ~TSubscription() { Reset(); }

    void Reset() {
        if (FCancel) std::exchange(FCancel, {})();
    }

private:
    std::function<void()> FCancel;
};

// An event with any number of listeners, raised to each in the order they subscribed.
// A listener may subscribe or unsubscribe (itself or another) while the event is raised:
// one that unsubscribed is not called again, one that subscribed is called from the next
// raise on. An event that goes first leaves its subscriptions harmless; one destroyed by a
// listener while it is raised (its owner went away) calls no further listener.
template <typename... Args> class TEvent {
public:
    using THandler = std::function<void(Args...)>;

    TEvent() = default;
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;
    ~TEvent() { FState->Destroyed = true; }

    [[nodiscard]] TSubscription Subscribe(THandler Handler) {
        const std::size_t id = ++FState->NextID;
        FState->Listeners.push_back(std::make_unique<TListener>(TListener{id, std::move(Handler)}));
        ++FState->Active;
        return TSubscription([weak = std::weak_ptr<TState>(FState), id] {
            if (const auto state = weak.lock()) state->Remove(id);
        });
    }

    bool HasListeners() const { return FState->Active > 0; }

    void operator()(Args... Values) const {
        // A copy of the state, not a reference: a handler may destroy this event.
        const std::shared_ptr<TState> keep = FState;
        TState& state = *keep;
        if (state.Active == 0) return;
        ++state.Raising;
        const std::size_t count = state.Listeners.size();
        for (std::size_t i = 0; i < count && !state.Destroyed; ++i) {
            TListener& listener = *state.Listeners[i];
            if (listener.Active) listener.Handler(Values...);
        }
        if (--state.Raising == 0 && state.Removed) state.Compact();
    }

private:
    struct TListener {
        std::size_t ID;
        THandler Handler;
        bool Active = true; // false once unsubscribed; removed when no raise runs
    };
    struct TState {
        // Held by pointer, so that a running handler stays in place while others subscribe.
        std::vector<std::unique_ptr<TListener>> Listeners;
        std::size_t Active = 0;
        std::size_t NextID = 0;
        int Raising = 0;
        bool Removed = false;
        bool Destroyed = false; // the event is gone; a raise under way stops

        void Remove(std::size_t ID) {
            for (auto& l : Listeners) {
                if (l->ID != ID || !l->Active) continue;
                l->Active = false;
                --Active;
            }
            if (Raising > 0)
                Removed = true;
            else
                Compact();
        }
        void Compact() {
            std::erase_if(Listeners, [](const auto& l) { return !l->Active; });
            Removed = false;
        }
    };

    std::shared_ptr<TState> FState = std::make_shared<TState>();
};
