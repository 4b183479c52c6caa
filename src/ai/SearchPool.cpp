#include "SearchPool.h"

#include <system_error>

TSearchPool& TSearchPool::Instance() {
    static TSearchPool* const pool = new TSearchPool;
    return *pool;
}

void TSearchPool::Run(int helpers, const std::function<void()>& work) {
    if (helpers <= 0) {
        work();
        return;
    }
    std::unique_lock busy(m_Busy, std::try_to_lock);
    if (!busy.owns_lock()) {
        RunOnFreshThreads(helpers, work);
        return;
    }
    {
        std::lock_guard lock(m_Mutex);
        while (int(m_Threads.size()) < helpers) {
            try {
                m_Threads.emplace_back(&TSearchPool::Serve, this, int(m_Threads.size()));
            } catch (const std::system_error&) {
                break;
            }
        }
        m_Job = &work;
        m_Wanted = std::min(helpers, int(m_Threads.size()));
        m_Running = m_Wanted;
        ++m_Generation;
    }
    m_Wake.notify_all();
    work();
    std::unique_lock lock(m_Mutex);
    m_Done.wait(lock, [&] { return m_Running == 0; });
    m_Job = nullptr;
}

void TSearchPool::Serve(int index) {
    uint64_t served = 0;
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Wake.wait(lock, [&] { return m_Generation != served && index < m_Wanted; });
        served = m_Generation;
        const std::function<void()>* job = m_Job;
        lock.unlock();
        (*job)();
        lock.lock();
        if (--m_Running == 0)
            m_Done.notify_all();
    }
}

void TSearchPool::RunOnFreshThreads(int helpers, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}
