#include "SilaDosingService.h"

#include "SilaCallGate.h"
#include "SilaError.h"
#include "SilaExecutions.h"

#include <QRegularExpression>

#include <cmath>

namespace dosing = sila2::org::dosetta::dispensing::dosingpumpcontroller::v1;
namespace sila = sila2::org::silastandard;

namespace {

const QString feature = QStringLiteral("org.dosetta/dispensing/DosingPumpController/v1");
const QString doseVolume = QStringLiteral("DoseVolume");
const QString generateFlow = QStringLiteral("GenerateFlow");

// Numbers compare equal when both are not known yet, so an unknown value is sent once.
bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// A parameter that is not a number is invalid like one out of range.
SilaPump::Invalid notANumber(const QString &parameter, double value)
{
    if (std::isfinite(value))
        return {};
    return {parameter, QStringLiteral("not a number")};
}

QString number(double value)
{
    return QString::number(value, 'f', 3).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

QString uuidText(const sila::CommandExecutionUUID *request)
{
    return QString::fromStdString(request->value());
}

} // namespace

SilaDosingService::SilaDosingService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                                     const SilaPermission &control, QObject *parent)
    : QObject(parent)
    , gate(gate)
    , pump(pump)
    , executions(executions)
    , control(control)
    , last(pump.snapshot())
{
    connect(&pump, &SilaPump::snapshotChanged, this, &SilaDosingService::changed);
    connect(&pump, &SilaPump::runProgress, this, &SilaDosingService::progressed);
    connect(&pump, &SilaPump::runEnded, this, &SilaDosingService::ended);
}

void SilaDosingService::close(const grpc::Status &status)
{
    volumeDelivered.end(status);
    flowRate.end(status);
    pumpState.end(status);
    errorFlags.end(status);
}

grpc::Status SilaDosingService::error(const SilaPump::Outcome &outcome, bool pumpErrorDefined)
{
    const QString message = outcome.message;
    switch (outcome.failure) {
    case SilaPump::Failure::PumpError:
        if (pumpErrorDefined) {
            return SilaError::defined(SilaError::definedError(feature, QStringLiteral("PumpError")),
                                      message);
        }
        break;
    case SilaPump::Failure::PumpRefused:
        return SilaError::defined(SilaError::definedError(feature, QStringLiteral("PumpRefused")),
                                  message);
    case SilaPump::Failure::LinkLost:
        return SilaError::defined(SilaError::definedError(feature, QStringLiteral("LinkLost")),
                                  message);
    case SilaPump::Failure::Stopped:
        return SilaError::undefined(message.isEmpty() ? QStringLiteral("stopped") : message);
    case SilaPump::Failure::None:
        break;
    }
    return SilaError::undefined(message.isEmpty() ? QStringLiteral("the pump failed") : message);
}

grpc::Status SilaDosingService::refused(const QString &command, const RequestOrigin &origin,
                                        const QString &client)
{
    if (control.allows(client))
        return grpc::Status::OK;
    const QString named = control.refusal(client);
    const QString why = named.isEmpty() ? QStringLiteral("the server does not allow control")
                                        : QStringLiteral("control: %1").arg(named);
    pump.journalRefused(origin, command, QString(), QString(), why);
    emit logged(QStringLiteral("%1 refused: %2").arg(command, why));
    return SilaError::controlRefused(command, named);
}

grpc::Status SilaDosingService::rejected(const QString &command, const SilaPump::Invalid &check,
                                         const RequestOrigin &origin, const QString &value)
{
    pump.journalRefused(origin, command, check.parameter, value, check.message);
    emit logged(QStringLiteral("%1 refused: %2: %3").arg(command, check.parameter, check.message));
    return SilaError::validation(SilaError::parameter(feature, command, check.parameter),
                                 check.message);
}

grpc::Status SilaDosingService::start(
    const QString &command,
    const std::function<SilaPump::RunId(SilaPump::Outcome *, const RequestOrigin &)> &begin,
    const QString &what, sila::CommandConfirmation *response, RequestOrigin origin)
{
    const QString uuid = executions.create(command);
    origin.request = uuid;
    starting = uuid;
    SilaPump::Outcome outcome;
    const SilaPump::RunId run = begin(&outcome, origin);
    starting.clear();
    if (run == 0) {
        pump.journalRefused(origin, command, QString(), what, outcome.message);
        executions.fail(uuid, error(outcome));
        emit logged(QStringLiteral("%1 %2: not started, %3").arg(command, what, outcome.message));
    } else {
        executions.attach(uuid, run);
        // Running from here, unless the run has already ended while it started.
        if (executions.running(uuid))
            executions.progress(uuid, 0, -1);
        emit logged(QStringLiteral("%1 %2: started (%3)").arg(command, what, uuid));
    }
    response->mutable_commandexecutionuuid()->set_value(uuid.toStdString());
    *response->mutable_lifetimeofexecution() = executions.lifetime(uuid);
    return grpc::Status::OK;
}

grpc::ServerUnaryReactor *
SilaDosingService::DoseVolume(grpc::CallbackServerContext *call,
                              const dosing::DoseVolume_Parameters *request,
                              sila::CommandConfirmation *response)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, response, origin, client] {
        const grpc::Status refusal = refused(doseVolume, origin, client);
        if (!refusal.ok())
            return refusal;
        if (!request->has_volume())
            return rejected(doseVolume,
                            {QStringLiteral("Volume"), QStringLiteral("the parameter is missing")},
                            origin);
        if (!request->has_flowrate())
            return rejected(
                doseVolume,
                {QStringLiteral("FlowRate"), QStringLiteral("the parameter is missing")}, origin);
        const double volume = request->volume().value();
        const double rate = request->flowrate().value();
        const QString what = QStringLiteral("%1 ml at %2 ml/min").arg(number(volume), number(rate));
        for (const SilaPump::Invalid &check :
             {notANumber(QStringLiteral("Volume"), volume),
              notANumber(QStringLiteral("FlowRate"), rate), SilaPump::checkDose(volume, rate)}) {
            if (!check.valid())
                return rejected(doseVolume, check, origin, what);
        }
        return start(
            doseVolume,
            [&](SilaPump::Outcome *outcome, const RequestOrigin &by) {
                return pump.startDose(volume, rate, outcome, by);
            },
            what, response, origin);
    });
}

grpc::ServerUnaryReactor *
SilaDosingService::GenerateFlow(grpc::CallbackServerContext *call,
                                const dosing::GenerateFlow_Parameters *request,
                                sila::CommandConfirmation *response)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, request, response, origin, client] {
        const grpc::Status refusal = refused(generateFlow, origin, client);
        if (!refusal.ok())
            return refusal;
        if (!request->has_flowrate())
            return rejected(
                generateFlow,
                {QStringLiteral("FlowRate"), QStringLiteral("the parameter is missing")}, origin);
        if (!request->has_runtime())
            return rejected(generateFlow,
                            {QStringLiteral("RunTime"), QStringLiteral("the parameter is missing")},
                            origin);
        const double rate = request->flowrate().value();
        const double runTime = request->runtime().value();
        const QString what =
            runTime == 0 ? QStringLiteral("%1 ml/min until stopped").arg(number(rate))
                         : QStringLiteral("%1 ml/min for %2 s").arg(number(rate), number(runTime));
        for (const SilaPump::Invalid &check :
             {notANumber(QStringLiteral("FlowRate"), rate),
              notANumber(QStringLiteral("RunTime"), runTime), SilaPump::checkFlow(rate, runTime)}) {
            if (!check.valid())
                return rejected(generateFlow, check, origin, what);
        }
        return start(
            generateFlow,
            [&](SilaPump::Outcome *outcome, const RequestOrigin &by) {
                return pump.startFlow(rate, runTime, outcome, by);
            },
            what, response, origin);
    });
}

grpc::ServerWriteReactor<sila::ExecutionInfo> *
SilaDosingService::info(grpc::CallbackServerContext *call, const QString &command,
                        const sila::CommandExecutionUUID *request)
{
    const QString uuid = uuidText(request);
    return gate.stream<sila::ExecutionInfo>(
        call,
        [this, command, uuid](const std::shared_ptr<SilaStream<sila::ExecutionInfo>> &stream) {
            const grpc::Status status = executions.watch(uuid, command, stream);
            if (!status.ok())
                stream->end(status);
        });
}

grpc::ServerWriteReactor<sila::ExecutionInfo> *
SilaDosingService::DoseVolume_Info(grpc::CallbackServerContext *call,
                                   const sila::CommandExecutionUUID *request)
{
    return info(call, doseVolume, request);
}

grpc::ServerWriteReactor<sila::ExecutionInfo> *
SilaDosingService::GenerateFlow_Info(grpc::CallbackServerContext *call,
                                     const sila::CommandExecutionUUID *request)
{
    return info(call, generateFlow, request);
}

grpc::ServerUnaryReactor *
SilaDosingService::DoseVolume_Result(grpc::CallbackServerContext *call,
                                     const sila::CommandExecutionUUID *request,
                                     dosing::DoseVolume_Responses *response)
{
    return gate.unary(call, [this, request, response] {
        std::string bytes;
        const grpc::Status status = executions.result(uuidText(request), doseVolume, &bytes);
        if (status.ok())
            response->ParseFromString(bytes);
        return status;
    });
}

grpc::ServerUnaryReactor *
SilaDosingService::GenerateFlow_Result(grpc::CallbackServerContext *call,
                                       const sila::CommandExecutionUUID *request,
                                       dosing::GenerateFlow_Responses *response)
{
    return gate.unary(call, [this, request, response] {
        std::string bytes;
        const grpc::Status status = executions.result(uuidText(request), generateFlow, &bytes);
        if (status.ok())
            response->ParseFromString(bytes);
        return status;
    });
}

grpc::ServerUnaryReactor *SilaDosingService::StopDosage(grpc::CallbackServerContext *call,
                                                        const dosing::StopDosage_Parameters *,
                                                        dosing::StopDosage_Responses *)
{
    // Never refused: a stop goes first, whoever asks.
    const RequestOrigin origin = SilaCallGate::originOf(call);
    return gate.unary(call, [this, origin] {
        pump.stop(origin);
        emit logged(QStringLiteral("StopDosage"));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *SilaDosingService::Prime(grpc::CallbackServerContext *call,
                                                   const dosing::Prime_Parameters *,
                                                   dosing::Prime_Responses *)
{
    const RequestOrigin origin = SilaCallGate::originOf(call);
    const QString client = SilaCallGate::clientName(call);
    return gate.unary(call, [this, origin, client] {
        const grpc::Status refusal = refused(QStringLiteral("Prime"), origin, client);
        if (!refusal.ok())
            return refusal;
        SilaPump::Outcome outcome;
        if (!pump.prime(&outcome, origin)) {
            pump.journalRefused(origin, QStringLiteral("Prime"), QString(), QString(),
                                outcome.message);
            emit logged(QStringLiteral("Prime: not started, %1").arg(outcome.message));
            // Prime defines no PumpError of its own.
            return error(outcome, false);
        }
        emit logged(QStringLiteral("Prime"));
        return grpc::Status::OK;
    });
}

namespace {

dosing::Subscribe_VolumeDelivered_Responses volumeMessage(const SilaPump::Snapshot &snapshot)
{
    dosing::Subscribe_VolumeDelivered_Responses message;
    message.mutable_volumedelivered()->set_value(snapshot.volumeDeliveredMl);
    return message;
}

dosing::Subscribe_FlowRate_Responses rateMessage(const SilaPump::Snapshot &snapshot)
{
    dosing::Subscribe_FlowRate_Responses message;
    message.mutable_flowrate()->set_value(snapshot.flowRateMlMin);
    return message;
}

dosing::Subscribe_PumpState_Responses stateMessage(const SilaPump::Snapshot &snapshot)
{
    dosing::Subscribe_PumpState_Responses message;
    message.mutable_pumpstate()->set_value(snapshot.state.toStdString());
    return message;
}

dosing::Subscribe_ErrorFlags_Responses flagsMessage(const SilaPump::Snapshot &snapshot)
{
    dosing::Subscribe_ErrorFlags_Responses message;
    for (const QString &flag : snapshot.errorFlags)
        message.add_errorflags()->set_value(flag.toStdString());
    return message;
}

} // namespace

grpc::ServerWriteReactor<dosing::Subscribe_VolumeDelivered_Responses> *
SilaDosingService::Subscribe_VolumeDelivered(grpc::CallbackServerContext *call,
                                             const dosing::Subscribe_VolumeDelivered_Parameters *)
{
    using Message = dosing::Subscribe_VolumeDelivered_Responses;
    return gate.stream<Message>(call, [this](const std::shared_ptr<SilaStream<Message>> &stream) {
        volumeDelivered.add(stream, volumeMessage(last));
    });
}

grpc::ServerWriteReactor<dosing::Subscribe_FlowRate_Responses> *
SilaDosingService::Subscribe_FlowRate(grpc::CallbackServerContext *call,
                                      const dosing::Subscribe_FlowRate_Parameters *)
{
    using Message = dosing::Subscribe_FlowRate_Responses;
    return gate.stream<Message>(call, [this](const std::shared_ptr<SilaStream<Message>> &stream) {
        flowRate.add(stream, rateMessage(last));
    });
}

grpc::ServerWriteReactor<dosing::Subscribe_PumpState_Responses> *
SilaDosingService::Subscribe_PumpState(grpc::CallbackServerContext *call,
                                       const dosing::Subscribe_PumpState_Parameters *)
{
    using Message = dosing::Subscribe_PumpState_Responses;
    return gate.stream<Message>(call, [this](const std::shared_ptr<SilaStream<Message>> &stream) {
        pumpState.add(stream, stateMessage(last));
    });
}

grpc::ServerWriteReactor<dosing::Subscribe_ErrorFlags_Responses> *
SilaDosingService::Subscribe_ErrorFlags(grpc::CallbackServerContext *call,
                                        const dosing::Subscribe_ErrorFlags_Parameters *)
{
    using Message = dosing::Subscribe_ErrorFlags_Responses;
    return gate.stream<Message>(call, [this](const std::shared_ptr<SilaStream<Message>> &stream) {
        errorFlags.add(stream, flagsMessage(last));
    });
}

void SilaDosingService::changed(const SilaPump::Snapshot &snapshot)
{
    const SilaPump::Snapshot before = last;
    last = snapshot;
    if (!same(before.volumeDeliveredMl, snapshot.volumeDeliveredMl))
        volumeDelivered.send(volumeMessage(snapshot));
    if (!same(before.flowRateMlMin, snapshot.flowRateMlMin))
        flowRate.send(rateMessage(snapshot));
    if (before.state != snapshot.state)
        pumpState.send(stateMessage(snapshot));
    if (before.errorFlags != snapshot.errorFlags)
        errorFlags.send(flagsMessage(snapshot));
}

QString SilaDosingService::uuidOf(SilaPump::RunId id) const
{
    const QString uuid = executions.uuidOf(id);
    return uuid.isEmpty() ? starting : uuid;
}

void SilaDosingService::progressed(SilaPump::RunId id, double, double progress, double remainingS)
{
    const QString uuid = uuidOf(id);
    if (!uuid.isEmpty())
        executions.progress(uuid, progress, remainingS);
}

void SilaDosingService::ended(SilaPump::RunId id, double deliveredMl,
                              const SilaPump::Outcome &outcome)
{
    const QString uuid = uuidOf(id);
    if (uuid.isEmpty())
        return;
    const QString command = executions.command(uuid);
    if (outcome.failure != SilaPump::Failure::None) {
        executions.fail(uuid, error(outcome));
        emit logged(QStringLiteral("%1 ended: %2").arg(command, outcome.message));
        return;
    }
    if (command == generateFlow) {
        dosing::GenerateFlow_Responses responses;
        responses.mutable_volumedelivered()->set_value(deliveredMl);
        executions.succeed(uuid, responses.SerializeAsString());
    } else {
        dosing::DoseVolume_Responses responses;
        responses.mutable_volumedelivered()->set_value(deliveredMl);
        executions.succeed(uuid, responses.SerializeAsString());
    }
    emit logged(QStringLiteral("%1 ended: %2 ml delivered").arg(command, number(deliveredMl)));
}
