#include "journal/JournalQueue.h"

#include <algorithm>
#include <chrono>

JournalQueue::JournalQueue(int capacity)
    : capacity(static_cast<std::size_t>(capacity))
{}

bool JournalQueue::push(JournalEntry entry)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped || entries.size() >= capacity) {
            ++droppedCount;
            return false;
        }
        entries.push_back(std::move(entry));
        ++pushed;
    }
    work.notify_one();
    return true;
}

std::vector<JournalEntry> JournalQueue::peek(int max)
{
    std::unique_lock<std::mutex> lock(mutex);
    work.wait(lock, [this] { return stopped || !entries.empty(); });
    const std::size_t n = std::min(entries.size(), static_cast<std::size_t>(max));
    return std::vector<JournalEntry>(entries.begin(), entries.begin() + n);
}

void JournalQueue::pop(int count)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        const std::size_t n = std::min(entries.size(), static_cast<std::size_t>(count));
        entries.erase(entries.begin(), entries.begin() + n);
        popped += n;
    }
    done.notify_all();
}

bool JournalQueue::waitForStop(int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    return work.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped; });
}

void JournalQueue::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    work.notify_all();
}

bool JournalQueue::stopping() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return stopped;
}

bool JournalQueue::waitDone(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex);
    const qint64 ticket = pushed;
    return done.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                         [&] { return popped >= ticket; });
}

qint64 JournalQueue::dropped() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return droppedCount;
}

int JournalQueue::size() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(entries.size());
}
