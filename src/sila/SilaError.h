#pragma once

#include <QString>

#include <grpcpp/support/status.h>

// The SiLA errors as gRPC carries them: status ABORTED with the base64 of a serialized SiLAError
// as the message. Parameters and defined errors are named by fully qualified identifiers.
class SilaError
{
public:
    enum class Framework {
        CommandExecutionNotAccepted,
        InvalidCommandExecutionUuid,
        CommandExecutionNotFinished,
        InvalidMetadata,
        NoMetadataAllowed
    };

    static grpc::Status validation(const QString &parameter, const QString &message);
    static grpc::Status defined(const QString &errorIdentifier, const QString &message);
    static grpc::Status undefined(const QString &message);
    static grpc::Status framework(Framework type, const QString &message);

    // A command that sets the pump going or holds it, on a server that does not allow control
    // (to this client: why says so); the message names the command.
    static grpc::Status controlRefused(const QString &command, const QString &why = QString());
    // A command that changes the server's configuration, on a server that does not allow it.
    static grpc::Status configRefused(const QString &command);
    // A command execution UUID as the standard writes it: 36 characters, lower case hex.
    static bool wellFormedUuid(const QString &uuid);

    // "<feature>/Command/<command>/Parameter/<parameter>"
    static QString parameter(const QString &feature, const QString &command,
                             const QString &parameter);
    // "<feature>/DefinedExecutionError/<error>"
    static QString definedError(const QString &feature, const QString &error);
};
