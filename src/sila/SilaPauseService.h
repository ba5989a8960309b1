#pragma once

#include "PauseController.grpc.pb.h"
#include "SilaPermission.h"
#include "pumpcore/RequestOrigin.h"

#include <QString>

#include <functional>

class SilaCallGate;
class SilaExecutions;
class SilaPump;

// PauseController on the pump's runs: pause and resume a running dose or flow by its execution.
class SilaPauseService : public sila2::org::silastandard::core::commands::pausecontroller::v1::
                             PauseController::CallbackService
{
public:
    SilaPauseService(SilaCallGate &gate, SilaPump &pump, SilaExecutions &executions,
                     const SilaPermission &control, std::function<void(const QString &)> log);

    grpc::ServerUnaryReactor *
    Pause(grpc::CallbackServerContext *call,
          const sila2::org::silastandard::core::commands::pausecontroller::v1::Pause_Parameters
              *request,
          sila2::org::silastandard::core::commands::pausecontroller::v1::Pause_Responses *response)
        override;
    grpc::ServerUnaryReactor *
    Resume(grpc::CallbackServerContext *call,
           const sila2::org::silastandard::core::commands::pausecontroller::v1::Resume_Parameters
               *request,
           sila2::org::silastandard::core::commands::pausecontroller::v1::Resume_Responses
               *response) override;
    grpc::ServerUnaryReactor *Get_Paused(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::commands::pausecontroller::v1::Get_Paused_Parameters
            *request,
        sila2::org::silastandard::core::commands::pausecontroller::v1::Get_Paused_Responses
            *response) override;

private:
    // Logged, and the error for the client; client: its certificate name.
    grpc::Status controlRefused(const QString &command, const QString &client);
    grpc::Status change(const QString &command, bool hasUuid, const std::string &uuid, bool pause,
                        RequestOrigin origin, const QString &client);

    SilaCallGate &gate;
    SilaPump &pump;
    SilaExecutions &executions;
    const SilaPermission control;
    std::function<void(const QString &)> log;
};
