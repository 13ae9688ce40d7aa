// OrderedWork: items 0..count-1 worked on by a few threads running ahead of a taker, which takes
// their results one by one in order. The workers go at most a window of items past the last one
// taken, so the results held at once are bounded whatever the count: a scan of a huge library or a
// search of a huge book holds a handful of them, never all.
//
// Workers claim items a chunk at a time and are woken once a whole chunk was taken (one wake-up per
// item would cost more than a small item's work). A taker whose item is not ready yet may work on
// the next chunk itself rather than wait idle: on a busy machine a worker can take longer to be
// scheduled than the work takes.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace foundation {

template <class Result> class OrderedWork {
public:
    struct Shape {
        std::size_t workers
            = 0; // threads; none: every item is worked on by take, on its caller's thread
        std::size_t chunk = 1; // items a worker claims at once
        std::size_t window
            = 1; // items worked on ahead of the last taken, at most (a multiple of chunk)
        bool takerHelps = false; // take works on the next chunk while its item is not ready
    };

    // work(index) answers item index's result; it is called on the workers' threads (and the
    // taker's), never twice for one index.
    OrderedWork(std::size_t count, Shape shape, std::function<Result(std::size_t)> work)
        : m_count(count)
        , m_shape(shape)
        , m_work(std::move(work))
    {
        m_shape.chunk = std::max<std::size_t>(1, m_shape.chunk);
        m_shape.window = std::max(m_shape.chunk, m_shape.window);
        if (m_shape.workers == 0 || count == 0)
            return;
        m_ready.resize(m_shape.window);
        for (std::size_t n = 0; n < std::min(m_shape.workers, count); ++n)
            m_threads.emplace_back([this] { run(); });
    }

    // Stops the workers after their current chunk and waits for them.
    ~OrderedWork()
    {
        cancel();
        for (auto& thread : m_threads)
            thread.join();
    }

    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // The result of item index, once worked on. Indices are taken once each, in increasing order.
    Result take(std::size_t index)
    {
        if (m_threads.empty())
            return m_work(index);
        std::unique_lock lock(m_mutex);
        auto& slot = m_ready[index % m_shape.window];
        while (!slot) {
            if (m_shape.takerHelps && hasRoom())
                workChunk(lock);
            else
                m_itemsReady.wait(lock);
        }
        Result result = std::move(*slot);
        slot.reset();
        m_taken = index + 1;
        if (m_taken % m_shape.chunk == 0 || m_taken == m_count)
            m_spaceFreed.notify_all();
        return result;
    }

    // Lets the workers stop after their current chunk; take must not be called afterwards.
    void cancel()
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_spaceFreed.notify_all();
        m_itemsReady.notify_all();
    }

private:
    bool hasRoom() const
    {
        return !m_cancelled && m_next < m_count
            && m_next + m_shape.chunk <= m_taken + m_shape.window;
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_spaceFreed.wait(lock, [&] { return m_cancelled || m_next >= m_count || hasRoom(); });
            if (m_cancelled || m_next >= m_count)
                return;
            workChunk(lock);
            m_itemsReady.notify_all();
        }
    }

    // Claims the next chunk, works on it unlocked and parks its results; lock is held on entry and
    // exit.
    void workChunk(std::unique_lock<std::mutex>& lock)
    {
        const std::size_t first = m_next;
        const std::size_t end = std::min(first + m_shape.chunk, m_count);
        m_next = end;
        lock.unlock();
        std::vector<Result> results;
        results.reserve(end - first);
        for (std::size_t index = first; index < end; ++index)
            results.push_back(m_work(index));
        lock.lock();
        for (std::size_t index = first; index < end; ++index)
            m_ready[index % m_shape.window] = std::move(results[index - first]);
    }

    const std::size_t m_count;
    Shape m_shape;
    std::function<Result(std::size_t)> m_work;
    std::mutex m_mutex;
    std::condition_variable m_spaceFreed; // workers wait for it
    std::condition_variable m_itemsReady; // the taker waits for it
    std::vector<std::optional<Result>> m_ready; // item k in slot k % window
    std::size_t m_next = 0; // the next item a worker starts
    std::size_t m_taken = 0; // items taken so far
    bool m_cancelled = false;
    std::vector<std::thread> m_threads;
};

}
