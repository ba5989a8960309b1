#pragma once

#include "journal/JournalEntry.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

// Entries on their way from the callers to the writer thread. Bounded: when it is full an entry
// is counted and dropped, and the caller never waits. The writer copies entries from the front
// and removes them only once they are written, so an entry survives a failed write.
class JournalQueue
{
public:
    explicit JournalQueue(int capacity);

    // Never waits; false (and counted) when the queue is full or stopped.
    bool push(JournalEntry entry);
    // Waits until something is queued or stop() was called; then copies up to max entries from
    // the front. Empty only once stopped with nothing queued.
    std::vector<JournalEntry> peek(int max);
    // The first count entries are done with: written, or given up at the end.
    void pop(int count);
    // Waits until stop() or the time is up; true when stopped.
    bool waitForStop(int ms);
    void stop();
    bool stopping() const;

    // Waits until every entry pushed before the call is done with, or the time is up.
    bool waitDone(int timeoutMs);
    qint64 dropped() const;
    int size() const;

private:
    const std::size_t capacity;
    mutable std::mutex mutex;
    std::condition_variable work; // something queued, or stop
    std::condition_variable done; // entries popped
    std::deque<JournalEntry> entries;
    qint64 pushed = 0;
    qint64 popped = 0;
    qint64 droppedCount = 0;
    bool stopped = false;
};
