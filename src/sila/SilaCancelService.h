#pragma once

#include "CancelController.grpc.pb.h"

#include <QString>

#include <functional>

class SilaCallGate;
class SilaExecutions;
class SilaPump;

// CancelController on the pump's runs: cancelling a run stops the pump, which ends the run's
// command with an error saying it was stopped. A cancel is a Stop, so it is taken whether or not
// the server allows control.
class SilaCancelService : public sila2::org::silastandard::core::commands::cancelcontroller::v1::
                              CancelController::CallbackService
{
public:
    SilaCancelService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                      std::function<void(const QString &)> log);

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
    SilaCallGate &gate;
    SilaPump &pump;
    SilaExecutions &executions;
    std::function<void(const QString &)> log;
};
