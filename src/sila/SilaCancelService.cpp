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
                                     std::function<void(const QString &)> log)
    : gate(gate)
    , pump(pump)
    , executions(executions)
    , log(std::move(log))
{}

grpc::ServerUnaryReactor *
SilaCancelService::CancelCommand(grpc::CallbackServerContext *call,
                                 const cancelling::CancelCommand_Parameters *request,
                                 cancelling::CancelCommand_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, origin, client] {
        const QString command = QStringLiteral("CancelCommand");
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
    return gate.unary(call, [this, origin] {
        // A Stop: taken with or without control, as StopDosage is.
        const QString command = QStringLiteral("CancelAll");
        pump.stop(origin);
        log(command);
        return grpc::Status::OK;
    });
}
