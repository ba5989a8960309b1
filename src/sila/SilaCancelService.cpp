#include "SilaCancelService.h"

#include "SilaCallGate.h"
#include "SilaError.h"
#include "SilaExecutions.h"
#include "SilaPump.h"

namespace cancelling = sila2::org::silastandard::core::commands::cancelcontroller::v1;

namespace {

const QString feature = QStringLiteral("org.silastandard/core.commands/CancelController/v1");

} // namespace

SilaCancelService::SilaCancelService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                                     const SilaPermission &control,
                                     std::function<void(const QString &)> log)
    : gate(gate)
    , pump(pump)
    , executions(executions)
    , control(control)
    , log(std::move(log))
{}

grpc::Status SilaCancelService::controlRefused(const QString &command, const QString &client)
{
    const QString named = control.refusal(client);
    log(QStringLiteral("%1 refused: %2")
            .arg(command, named.isEmpty() ? QStringLiteral("the server does not allow control")
                                          : QStringLiteral("control: ") + named));
    return SilaError::controlRefused(command, named);
}

grpc::ServerUnaryReactor *
SilaCancelService::CancelCommand(grpc::CallbackServerContext *call,
                                 const cancelling::CancelCommand_Parameters *request,
                                 cancelling::CancelCommand_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, origin, client] {
        const QString command = QStringLiteral("CancelCommand");
        if (!control.allows(client))
            return controlRefused(command, client);
        const QString parameter =
            SilaError::parameter(feature, command, QStringLiteral("CommandExecutionUUID"));
        if (!request->has_commandexecutionuuid()) {
            return SilaError::validation(parameter,
                                         QStringLiteral("the execution UUID is missing"));
        }
        const QString uuid = QString::fromStdString(request->commandexecutionuuid().uuid().value());
        if (!SilaError::wellFormedUuid(uuid)) {
            return SilaError::validation(parameter,
                                         QStringLiteral("\"%1\" is not a UUID").arg(uuid));
        }
        if (!executions.running(uuid) || executions.run(uuid) == 0) {
            return SilaError::defined(
                SilaError::definedError(feature, QStringLiteral("InvalidCommandExecutionUUID")),
                QStringLiteral("%1 is not an execution that is running").arg(uuid));
        }
        // One run at a time: stopping the pump ends exactly this one.
        RequestOrigin by = origin;
        by.request = uuid;
        pump.stop(by);
        log(QStringLiteral("%1 %2").arg(command, uuid));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *SilaCancelService::CancelAll(grpc::CallbackServerContext *call,
                                                       const cancelling::CancelAll_Parameters *,
                                                       cancelling::CancelAll_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, origin, client] {
        const QString command = QStringLiteral("CancelAll");
        if (!control.allows(client))
            return controlRefused(command, client);
        pump.stop(origin);
        log(command);
        return grpc::Status::OK;
    });
}
