#include "SilaExecutions.h"

#include "SilaError.h"

#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

sila2::org::silastandard::Duration duration(double seconds)
{
    sila2::org::silastandard::Duration result;
    const double whole = std::floor(std::max(0.0, seconds));
    result.set_seconds(qint64(whole));
    result.set_nanos(int((std::max(0.0, seconds) - whole) * 1e9));
    return result;
}

bool finished(SilaExecutions::ExecutionInfo::CommandStatus status)
{
    return status == SilaExecutions::ExecutionInfo::finishedSuccessfully ||
           status == SilaExecutions::ExecutionInfo::finishedWithError;
}

grpc::Status unknown(const QString &uuid)
{
    return SilaError::framework(
        SilaError::Framework::InvalidCommandExecutionUuid,
        QStringLiteral("%1 is not the UUID of an execution of this command that the server "
                       "still knows")
            .arg(uuid));
}

} // namespace

SilaExecutions::SilaExecutions(std::chrono::milliseconds keep, int capacity)
    : keep(keep)
    , capacity(capacity)
{}

QString SilaExecutions::create(const QString &command, quint64 run)
{
    forget();
    Execution execution;
    execution.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    execution.command = command;
    execution.run = run;
    executions.push_back(execution);
    forget();
    return execution.uuid;
}

void SilaExecutions::attach(const QString &uuid, quint64 run)
{
    if (Execution *execution = find(uuid))
        execution->run = run;
}

quint64 SilaExecutions::run(const QString &uuid) const
{
    const Execution *execution = find(uuid);
    return execution ? execution->run : 0;
}

QString SilaExecutions::uuidOf(quint64 run) const
{
    for (const Execution &execution : executions) {
        if (run != 0 && execution.run == run && !finished(execution.status))
            return execution.uuid;
    }
    return {};
}

bool SilaExecutions::running(const QString &uuid) const
{
    const Execution *execution = find(uuid);
    return execution && !finished(execution->status);
}

QString SilaExecutions::command(const QString &uuid) const
{
    const Execution *execution = find(uuid);
    return execution ? execution->command : QString();
}

QStringList SilaExecutions::unfinished() const
{
    QStringList list;
    for (const Execution &execution : executions) {
        if (!finished(execution.status))
            list << execution.uuid;
    }
    return list;
}

void SilaExecutions::progress(const QString &uuid, double progress, double remainingS)
{
    Execution *execution = find(uuid);
    if (!execution || finished(execution->status))
        return;
    execution->status = ExecutionInfo::running;
    execution->progress = std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : 0.0;
    execution->remainingS = std::isfinite(remainingS) ? remainingS : -1;
    publish(*execution);
}

void SilaExecutions::succeed(const QString &uuid, const std::string &responses)
{
    Execution *execution = find(uuid);
    if (!execution || finished(execution->status))
        return;
    execution->status = ExecutionInfo::finishedSuccessfully;
    execution->progress = 1;
    execution->responses = responses;
    finish(*execution);
}

void SilaExecutions::fail(const QString &uuid, const grpc::Status &error)
{
    Execution *execution = find(uuid);
    if (!execution || finished(execution->status))
        return;
    execution->status = ExecutionInfo::finishedWithError;
    execution->error = error;
    finish(*execution);
}

sila2::org::silastandard::Duration SilaExecutions::lifetime(const QString &uuid) const
{
    const Execution *execution = find(uuid);
    const double keepS = std::chrono::duration<double>(keep).count();
    if (!execution)
        return duration(0);
    if (finished(execution->status)) {
        const double gone =
            std::chrono::duration<double>(Clock::now() - execution->finishedAt).count();
        return duration(keepS - gone);
    }
    // Running: at least as long as it is expected to run, and kept after that; every change
    // tells the client again.
    return duration(std::max(0.0, execution->remainingS) + keepS);
}

grpc::Status SilaExecutions::watch(const QString &uuid, const QString &command,
                                   const std::shared_ptr<InfoStream> &stream)
{
    forget();
    Execution *execution = find(uuid);
    if (!execution || execution->command != command)
        return unknown(uuid);
    stream->send(info(*execution));
    if (finished(execution->status)) {
        stream->end(grpc::Status::OK);
        return grpc::Status::OK;
    }
    execution->streams.push_back(stream);
    return grpc::Status::OK;
}

grpc::Status SilaExecutions::result(const QString &uuid, const QString &command,
                                    std::string *responses)
{
    forget();
    const Execution *execution = find(uuid);
    if (!execution || execution->command != command)
        return unknown(uuid);
    if (!finished(execution->status)) {
        return SilaError::framework(
            SilaError::Framework::CommandExecutionNotFinished,
            QStringLiteral("the execution %1 has not finished yet").arg(uuid));
    }
    if (execution->status == ExecutionInfo::finishedWithError)
        return execution->error;
    *responses = execution->responses;
    return grpc::Status::OK;
}

void SilaExecutions::close(const grpc::Status &status)
{
    for (Execution &execution : executions) {
        for (const auto &stream : execution.streams)
            stream->end(status);
        execution.streams.clear();
    }
}

SilaExecutions::Execution *SilaExecutions::find(const QString &uuid)
{
    const auto found = std::find_if(executions.begin(), executions.end(),
                                    [&](const Execution &e) { return e.uuid == uuid; });
    return found == executions.end() ? nullptr : &*found;
}

const SilaExecutions::Execution *SilaExecutions::find(const QString &uuid) const
{
    return const_cast<SilaExecutions *>(this)->find(uuid);
}

SilaExecutions::ExecutionInfo SilaExecutions::info(const Execution &execution) const
{
    ExecutionInfo info;
    info.set_commandstatus(execution.status);
    info.mutable_progressinfo()->set_value(execution.progress);
    if (execution.remainingS >= 0 && !finished(execution.status))
        *info.mutable_estimatedremainingtime() = duration(execution.remainingS);
    *info.mutable_updatedlifetimeofexecution() = lifetime(execution.uuid);
    return info;
}

void SilaExecutions::publish(Execution &execution)
{
    const ExecutionInfo message = info(execution);
    execution.streams.erase(
        std::remove_if(execution.streams.begin(), execution.streams.end(),
                       [](const std::shared_ptr<InfoStream> &stream) { return !stream->open(); }),
        execution.streams.end());
    for (const auto &stream : execution.streams)
        stream->send(message);
}

void SilaExecutions::finish(Execution &execution)
{
    execution.finishedAt = Clock::now();
    execution.remainingS = 0;
    publish(execution);
    for (const auto &stream : execution.streams)
        stream->end(grpc::Status::OK);
    execution.streams.clear();
}

void SilaExecutions::forget()
{
    const Clock::time_point now = Clock::now();
    executions.erase(std::remove_if(executions.begin(), executions.end(),
                                    [&](const Execution &execution) {
                                        return finished(execution.status) &&
                                               now - execution.finishedAt >= keep;
                                    }),
                     executions.end());
    // Too many: the oldest finished ones go; one still running is never forgotten.
    int excess = int(executions.size()) - capacity;
    for (auto it = executions.begin(); excess > 0 && it != executions.end();) {
        if (finished(it->status)) {
            it = executions.erase(it);
            --excess;
        } else {
            ++it;
        }
    }
}
