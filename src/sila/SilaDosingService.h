#pragma once

#include "DosingPumpController.grpc.pb.h"
#include "SilaPermission.h"
#include "SilaPump.h"
#include "SilaSubscribers.h"

#include <QObject>
#include <QString>

class SilaCallGate;
class SilaExecutions;

// The dosing pump feature: doses and flows as observable commands that follow the pump's runs,
// stop and prime, and the four properties as streams. Moving the pump needs control; stopping
// it never does. A parameter is checked against the pump's limits before anything is sent.
class SilaDosingService : public QObject,
                          public sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                              DosingPumpController::CallbackService
{
    Q_OBJECT

public:
    SilaDosingService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                      const SilaPermission &control, QObject *parent = nullptr);

    // The server's thread, closing: every property stream ends.
    void close(const grpc::Status &status);

    grpc::ServerUnaryReactor *DoseVolume(
        grpc::CallbackServerContext *call,
        const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::DoseVolume_Parameters
            *request,
        sila2::org::silastandard::CommandConfirmation *response) override;
    grpc::ServerWriteReactor<sila2::org::silastandard::ExecutionInfo> *
    DoseVolume_Info(grpc::CallbackServerContext *call,
                    const sila2::org::silastandard::CommandExecutionUUID *request) override;
    grpc::ServerUnaryReactor *DoseVolume_Result(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::CommandExecutionUUID *request,
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::DoseVolume_Responses *response)
        override;
    grpc::ServerUnaryReactor *GenerateFlow(
        grpc::CallbackServerContext *call,
        const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::GenerateFlow_Parameters
            *request,
        sila2::org::silastandard::CommandConfirmation *response) override;
    grpc::ServerWriteReactor<sila2::org::silastandard::ExecutionInfo> *
    GenerateFlow_Info(grpc::CallbackServerContext *call,
                      const sila2::org::silastandard::CommandExecutionUUID *request) override;
    grpc::ServerUnaryReactor *GenerateFlow_Result(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::CommandExecutionUUID *request,
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::GenerateFlow_Responses *response)
        override;
    grpc::ServerUnaryReactor *StopDosage(
        grpc::CallbackServerContext *call,
        const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::StopDosage_Parameters
            *request,
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::StopDosage_Responses *response)
        override;
    grpc::ServerUnaryReactor *Prime(
        grpc::CallbackServerContext *call,
        const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Prime_Parameters *request,
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Prime_Responses *response)
        override;
    grpc::ServerWriteReactor<sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                                 Subscribe_VolumeDelivered_Responses> *
    Subscribe_VolumeDelivered(grpc::CallbackServerContext *call,
                              const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                                  Subscribe_VolumeDelivered_Parameters *request) override;
    grpc::ServerWriteReactor<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_FlowRate_Responses> *
    Subscribe_FlowRate(grpc::CallbackServerContext *call,
                       const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                           Subscribe_FlowRate_Parameters *request) override;
    grpc::ServerWriteReactor<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_PumpState_Responses> *
    Subscribe_PumpState(grpc::CallbackServerContext *call,
                        const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                            Subscribe_PumpState_Parameters *request) override;
    grpc::ServerWriteReactor<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_ErrorFlags_Responses> *
    Subscribe_ErrorFlags(grpc::CallbackServerContext *call,
                         const sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                             Subscribe_ErrorFlags_Parameters *request) override;

    // The error a run's failure ends its command with.
    static grpc::Status error(const SilaPump::Outcome &outcome, bool pumpErrorDefined = true);

signals:
    void logged(const QString &line);

private:
    // Refusals are journaled under the caller's origin.
    // client: the caller's certificate name, read where the call came in.
    grpc::Status refused(const QString &command, const RequestOrigin &origin,
                         const QString &client);
    // A parameter left out or outside the pump's limits: nothing is sent.
    grpc::Status rejected(const QString &command, const SilaPump::Invalid &check,
                          const RequestOrigin &origin, const QString &value = QString());
    // The run goes as the caller's, with its command execution as the request.
    grpc::Status
    start(const QString &command,
          const std::function<SilaPump::RunId(SilaPump::Outcome *, const RequestOrigin &)> &begin,
          const QString &what, sila2::org::silastandard::CommandConfirmation *response,
          RequestOrigin origin);
    grpc::ServerWriteReactor<sila2::org::silastandard::ExecutionInfo> *
    info(grpc::CallbackServerContext *call, const QString &command,
         const sila2::org::silastandard::CommandExecutionUUID *request);
    void changed(const SilaPump::Snapshot &snapshot);
    void progressed(SilaPump::RunId id, double deliveredMl, double progress, double remainingS);
    void ended(SilaPump::RunId id, double deliveredMl, const SilaPump::Outcome &outcome);
    QString uuidOf(SilaPump::RunId id) const;

    SilaCallGate &gate;
    SilaPump &pump;
    SilaExecutions &executions;
    const SilaPermission control;
    SilaPump::Snapshot last;
    // A run's signals may come while it is being started, before its id is known here.
    QString starting;
    SilaSubscribers<sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::
                        Subscribe_VolumeDelivered_Responses>
        volumeDelivered;
    SilaSubscribers<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_FlowRate_Responses>
        flowRate;
    SilaSubscribers<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_PumpState_Responses>
        pumpState;
    SilaSubscribers<
        sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::Subscribe_ErrorFlags_Responses>
        errorFlags;
};
