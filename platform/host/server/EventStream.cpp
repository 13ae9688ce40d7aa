// The stream's waiting and wording.
#include "platform/host/server/EventStream.h"

namespace host {

void EventStream::publish(std::uint64_t version)
{
    {
        std::lock_guard guard(m_lock);
        if (version <= m_version)
            return;
        m_version = version;
    }
    m_changed.notify_all();
}

void EventStream::redraw()
{
    {
        std::lock_guard guard(m_lock);
        ++m_redraws;
    }
    m_changed.notify_all();
}

EventStream::Told EventStream::startingAt(std::uint64_t version) const
{
    std::lock_guard guard(m_lock);
    return { version, m_redraws };
}

void EventStream::close()
{
    {
        std::lock_guard guard(m_lock);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool EventStream::open()
{
    std::lock_guard guard(m_lock);
    if (m_closed || m_open >= maximumStreams)
        return false;
    ++m_open;
    return true;
}

void EventStream::release()
{
    std::lock_guard guard(m_lock);
    if (m_open > 0)
        --m_open;
}

std::size_t EventStream::openStreams() const
{
    std::lock_guard guard(m_lock);
    return m_open;
}

std::size_t EventStream::waitingStreams() const
{
    std::lock_guard guard(m_lock);
    return m_waiting;
}

std::optional<std::string> EventStream::next(Told& told, std::chrono::milliseconds keepAlive)
{
    std::unique_lock guard(m_lock);
    ++m_waiting;
    bool woken = m_changed.wait_for(guard, keepAlive,
        [&] { return m_closed || m_version > told.version || m_redraws > told.redraws; });
    --m_waiting;
    if (m_closed)
        return std::nullopt;
    if (!woken)
        return std::string(": still here\n\n");
    // A new version is looked at whole: the redraws before it are told with it.
    told.redraws = m_redraws;
    if (m_version > told.version) {
        told.version = m_version;
        return changedMessage(told.version);
    }
    return std::string(redrawMessage);
}

std::string EventStream::changedMessage(std::uint64_t version)
{
    return "event: changed\ndata: {\"version\":" + std::to_string(version) + "}\n\n";
}

}
