#pragma once

// Helper threads kept from one search to the next, so that a search does not pay for creating
// threads: on a small position that would cost more than the search itself.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TSearchPool {
public:
    // The pool of the process, created on first use and never destroyed, so that no search can
    // outlive it.
    static TSearchPool& Instance();

    // Runs `work` on the calling thread and on `helpers` more threads at once, and returns when
    // every run has returned. While another search holds the pool, fresh threads are used.
    // Fewer helpers run when the system has no more threads to give.
    void Run(int helpers, const std::function<void()>& work);

private:
    TSearchPool() = default;
    void Serve(int index);
    static void RunOnFreshThreads(int helpers, const std::function<void()>& work);

    // Held by the search that uses the pool's threads.
    std::mutex m_Busy;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::condition_variable m_Done;
    std::vector<std::thread> m_Threads;
    const std::function<void()>* m_Job = nullptr;
    uint64_t m_Generation = 0;
    // Threads with a lower index take the current job; the count of those still running it.
    int m_Wanted = 0;
    int m_Running = 0;
};
