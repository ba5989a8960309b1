#pragma once

#include "SiLAFramework.pb.h"
#include "SilaStream.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The observable command executions the server knows: each under a UUID (v4), with its status,
// progress, estimated time left and, once finished, its response or its error. A finished
// execution is kept for a while and then forgotten; the oldest finished ones go first when there
// are too many. Lives on the server's thread; the Info streams of an execution get every change
// and end after the final status.
class SilaExecutions
{
public:
    using Clock = std::chrono::steady_clock;
    using ExecutionInfo = sila2::org::silastandard::ExecutionInfo;
    using InfoStream = SilaStream<ExecutionInfo>;

    explicit SilaExecutions(std::chrono::milliseconds keep = std::chrono::minutes(10),
                            int capacity = 100);

    // A new execution of the command, waiting; its UUID.
    QString create(const QString &command, quint64 run = 0);
    // The run an execution follows (0: none), and the running execution of a run.
    void attach(const QString &uuid, quint64 run);
    quint64 run(const QString &uuid) const;
    QString uuidOf(quint64 run) const;
    // Known, not forgotten, and not finished.
    bool running(const QString &uuid) const;
    QString command(const QString &uuid) const;
    // UUIDs of the executions not finished.
    QStringList unfinished() const;

    // remainingS negative: unknown.
    void progress(const QString &uuid, double progress, double remainingS);
    void succeed(const QString &uuid, const std::string &responses);
    void fail(const QString &uuid, const grpc::Status &error);

    // How long the execution stays known, as the confirmation and ExecutionInfo tell it.
    sila2::org::silastandard::Duration lifetime(const QString &uuid) const;

    // The Info stream: the status at once, then on every change; it ends after the final one.
    // An error status when the UUID is not one of the command's executions.
    grpc::Status watch(const QString &uuid, const QString &command,
                       const std::shared_ptr<InfoStream> &stream);
    // The serialized responses of a finished execution, or its error, or why there is none.
    grpc::Status result(const QString &uuid, const QString &command, std::string *responses);

    // The server's thread, closing: every Info stream ends.
    void close(const grpc::Status &status);

private:
    struct Execution
    {
        QString uuid;
        QString command;
        quint64 run = 0;
        ExecutionInfo::CommandStatus status = ExecutionInfo::waiting;
        double progress = 0;
        double remainingS = -1;
        std::string responses;
        grpc::Status error;
        Clock::time_point finishedAt;
        std::vector<std::shared_ptr<InfoStream>> streams;
    };

    Execution *find(const QString &uuid);
    const Execution *find(const QString &uuid) const;
    ExecutionInfo info(const Execution &execution) const;
    void publish(Execution &execution);
    void finish(Execution &execution);
    void forget();

    std::chrono::milliseconds keep;
    int capacity;
    std::deque<Execution> executions; // oldest first
};
