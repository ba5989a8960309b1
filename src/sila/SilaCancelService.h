#pragma once

#include "CancelController.grpc.pb.h"
#include "SilaPermission.h"

#include <QString>

#include <functional>

class SilaCallGate;
class SilaExecutions;
class SilaPump;

// CancelController on the pump's runs: cancelling a run stops the pump, which ends the run's
// command with an error saying it was stopped.
class SilaCancelService : public sila2::org::silastandard::core::commands::cancelcontroller::v1::
                              CancelController::CallbackService
{
public:
    SilaCancelService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                      const SilaPermission &control, std::function<void(const QString &)> log);

    grpc::ServerUnaryReactor *CancelCommand(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::commands::cancelcontroller::v1::
            CancelCommand_Parameters *request,
        sila2::org::silastandard::core::commands::cancelcontroller::v1::CancelCommand_Responses
            *response) override;
    grpc::ServerUnaryReactor *CancelAll(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::commands::cancelcontroller::v1::CancelAll_Parameters
            *request,
        sila2::org::silastandard::core::commands::cancelcontroller::v1::CancelAll_Responses
            *response) override;

private:
    // Logged, and the error for the client; client: its certificate name.
    grpc::Status controlRefused(const QString &command, const QString &client);
    SilaCallGate &gate;
    SilaPump &pump;
    SilaExecutions &executions;
    const SilaPermission control;
    std::function<void(const QString &)> log;
};
