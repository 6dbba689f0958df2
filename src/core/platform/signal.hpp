#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace sorvin {

// How observable objects of the core tell their observers that they changed. Single-threaded: an
// object and its observers live on one thread (the main thread for the published state).
//
// A slot may connect or disconnect slots, even itself, while the signal is being emitted: the
// emission calls the slots connected when it began that are still connected when their turn comes.
template <typename... Args>
class Signal {
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<std::function<void(Args...)>> slot;
    };
    struct State {
        std::uint64_t nextId = 1;
        std::vector<Entry> entries;
    };

public:
    // Disconnects when destroyed, unless released. Safe to outlive the signal.
    class Connection {
    public:
        Connection() = default;
        Connection(Connection&& other) noexcept
            : state_(std::move(other.state_)), id_(std::exchange(other.id_, 0)) {}
        Connection& operator=(Connection&& other) noexcept {
            if (this != &other) {
                disconnect();
                state_ = std::move(other.state_);
                id_ = std::exchange(other.id_, 0);
            }
            return *this;
        }
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        ~Connection() { disconnect(); }

        void disconnect() {
            if (auto state = state_.lock()) {
                std::erase_if(state->entries, [this](const Entry& e) { return e.id == id_; });
            }
            state_.reset();
            id_ = 0;
        }
        bool connected() const {
            auto state = state_.lock();
            return state && std::any_of(state->entries.begin(), state->entries.end(),
                                        [this](const Entry& e) { return e.id == id_; });
        }

    private:
        friend class Signal;
        Connection(std::weak_ptr<State> state, std::uint64_t id) : state_(std::move(state)), id_(id) {}
        std::weak_ptr<State> state_;
        std::uint64_t id_ = 0;
    };

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Connection connect(std::function<void(Args...)> slot) {
        const std::uint64_t id = state_->nextId++;
        state_->entries.push_back({id, std::make_shared<std::function<void(Args...)>>(std::move(slot))});
        return Connection(state_, id);
    }

    void emit(const Args&... args) const {
        const std::shared_ptr<State> keepAlive = state_;
        std::vector<Entry> snapshot = keepAlive->entries;
        for (const Entry& entry : snapshot) {
            const bool stillConnected = std::any_of(keepAlive->entries.begin(), keepAlive->entries.end(),
                                                    [&](const Entry& e) { return e.id == entry.id; });
            if (stillConnected) (*entry.slot)(args...);
        }
    }

    std::size_t connectionCount() const { return state_->entries.size(); }

private:
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace sorvin
