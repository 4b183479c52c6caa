#pragma once

// A stand-in for the owner's event loop: functions posted from any thread run on the thread that
// calls RunUntil.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class TMainQueue {
public:
    void Post(std::function<void()> f) {
        {
            std::lock_guard lock(m_Mutex);
            m_Queue.push_back(std::move(f));
        }
        m_Changed.notify_all();
    }

    std::function<void(std::function<void()>)> Poster() {
        return [this](std::function<void()> f) { Post(std::move(f)); };
    }

    // Runs posted functions until `done` holds or the time is up; answers `done`.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock lock(m_Mutex);
            if (!m_Changed.wait_until(lock, deadline, [&] { return !m_Queue.empty(); }))
                return done();
            auto f = std::move(m_Queue.front());
            m_Queue.pop_front();
            lock.unlock();
            f();
        }
        return true;
    }

    // Runs whatever is queued now, without waiting.
    void Drain() {
        for (;;) {
            std::unique_lock lock(m_Mutex);
            if (m_Queue.empty())
                return;
            auto f = std::move(m_Queue.front());
            m_Queue.pop_front();
            lock.unlock();
            f();
        }
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<std::function<void()>> m_Queue;
};
