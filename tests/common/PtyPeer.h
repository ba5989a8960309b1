#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// The far end of a real pseudo-terminal, scripted by a test: it collects what the program sends
// and answers each received frame (STX ... ETX and one check byte) with the next queued reply,
// optionally after a delay and trickled byte by byte. The program opens slavePath() with the
// real QSerialPort.
class PtyPeer
{
public:
    struct Reply
    {
        std::string bytes;
        int delayMs = 0;         // before the first byte
        int perByteMs = 0;       // between bytes; 0 writes all at once
        bool silent = false;     // consume the frame, answer nothing
        int lastByteDelayMs = 0; // holds back the last byte (a late check character)
    };

    PtyPeer();
    ~PtyPeer();

    bool isOpen() const { return masterFd >= 0; }
    QString slavePath() const { return path; }

    // Replies are used in order, one per received frame; with none queued the peer is silent.
    void queueReply(const Reply &reply);
    void queueReply(const std::string &bytes) { queueReply(Reply{bytes, 0, 0, false}); }
    // Writes bytes now, unasked (noise, a late answer).
    void inject(const std::string &bytes);
    // Everything received so far, and the number of complete frames among it.
    std::string received() const;
    int framesReceived() const;
    void clearReceived();
    // Waits until n frames have been received or the time-out passes.
    bool waitForFrames(int n, int timeoutMs) const;
    // Closes the master end, as an unplugged adapter does.
    void hangUp();

private:
    void run();
    void writeAll(const std::string &bytes);

    int masterFd = -1;
    int slaveFd = -1;
    QString path;
    std::thread worker;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    mutable std::condition_variable frameArrived;
    std::deque<Reply> replies;
    std::string all;
    int frames = 0;
};
