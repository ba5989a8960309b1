#include "SilaPauseService.h"

#include "SilaCallGate.h"
#include "SilaError.h"
#include "SilaExecutions.h"
#include "SilaPump.h"

namespace pausing = sila2::org::silastandard::core::commands::pausecontroller::v1;

namespace {

const QString feature = QStringLiteral("org.silastandard/core.commands/PauseController/v1");

} // namespace

SilaPauseService::SilaPauseService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                                   const SilaPermission &control,
                                   std::function<void(const QString &)> log)
    : gate(gate)
    , pump(pump)
    , executions(executions)
    , control(control)
    , log(std::move(log))
{}

grpc::Status SilaPauseService::change(const QString &command, bool hasUuid,
                                      const std::string &value, bool pause, RequestOrigin origin,
                                      const QString &client)
{
    if (!control.allows(client))
        return controlRefused(command, client);
    const QString parameter =
        SilaError::parameter(feature, command, QStringLiteral("CommandExecutionUUID"));
    if (!hasUuid)
        return SilaError::validation(parameter, QStringLiteral("the execution UUID is missing"));
    const QString uuid = QString::fromStdString(value);
    if (!SilaError::wellFormedUuid(uuid)) {
        return SilaError::validation(parameter, QStringLiteral("\"%1\" is not a UUID").arg(uuid));
    }
    const SilaPump::RunId run = executions.run(uuid);
    if (!executions.running(uuid) || run == 0) {
        return SilaError::defined(
            SilaError::definedError(feature, QStringLiteral("InvalidCommandExecutionUUID")),
            QStringLiteral("%1 is not an execution that is running").arg(uuid));
    }
    SilaPump::Outcome outcome;
    origin.request = uuid;
    const bool done =
        pause ? pump.pause(run, &outcome, origin) : pump.resume(run, &outcome, origin);
    if (!done) {
        log(QStringLiteral("%1 %2: %3").arg(command, uuid, outcome.message));
        return SilaError::defined(
            SilaError::definedError(feature, QStringLiteral("InvalidCommandState")),
            outcome.message);
    }
    log(QStringLiteral("%1 %2").arg(command, uuid));
    return grpc::Status::OK;
}

grpc::Status SilaPauseService::controlRefused(const QString &command, const QString &client)
{
    const QString named = control.refusal(client);
    log(QStringLiteral("%1 refused: %2")
            .arg(command, named.isEmpty() ? QStringLiteral("the server does not allow control")
                                          : QStringLiteral("control: ") + named));
    return SilaError::controlRefused(command, named);
}

grpc::ServerUnaryReactor *SilaPauseService::Pause(grpc::CallbackServerContext *call,
                                                  const pausing::Pause_Parameters *request,
                                                  pausing::Pause_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, origin, client] {
        return change(QStringLiteral("Pause"), request->has_commandexecutionuuid(),
                      request->commandexecutionuuid().uuid().value(), true, origin, client);
    });
}

grpc::ServerUnaryReactor *SilaPauseService::Resume(grpc::CallbackServerContext *call,
                                                   const pausing::Resume_Parameters *request,
                                                   pausing::Resume_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, origin, client] {
        return change(QStringLiteral("Resume"), request->has_commandexecutionuuid(),
                      request->commandexecutionuuid().uuid().value(), false, origin, client);
    });
}

grpc::ServerUnaryReactor *SilaPauseService::Get_Paused(grpc::CallbackServerContext *call,
                                                       const pausing::Get_Paused_Parameters *,
                                                       pausing::Get_Paused_Responses *response)
{
    return gate.unary(call, [this, response] {
        // Paused: the run that is going on is paused. There is at most one.
        bool paused = false;
        for (const QString &uuid : executions.unfinished()) {
            const SilaPump::RunId run = executions.run(uuid);
            paused = paused || (run != 0 && pump.paused(run));
        }
        response->mutable_paused()->set_value(paused);
        return grpc::Status::OK;
    });
}
