#include "SilaError.h"

#include "SiLAFramework.pb.h"

#include <QByteArray>
#include <QRegularExpression>

namespace {

namespace sila = sila2::org::silastandard;

grpc::Status aborted(const sila::SiLAError &error)
{
    const std::string bytes = error.SerializeAsString();
    const QByteArray text = QByteArray::fromRawData(bytes.data(), int(bytes.size())).toBase64();
    return grpc::Status(grpc::StatusCode::ABORTED, text.toStdString());
}

} // namespace

grpc::Status SilaError::validation(const QString &parameter, const QString &message)
{
    sila::SiLAError error;
    error.mutable_validationerror()->set_parameter(parameter.toStdString());
    error.mutable_validationerror()->set_message(message.toStdString());
    return aborted(error);
}

grpc::Status SilaError::defined(const QString &errorIdentifier, const QString &message)
{
    sila::SiLAError error;
    error.mutable_definedexecutionerror()->set_erroridentifier(errorIdentifier.toStdString());
    error.mutable_definedexecutionerror()->set_message(message.toStdString());
    return aborted(error);
}

grpc::Status SilaError::undefined(const QString &message)
{
    sila::SiLAError error;
    error.mutable_undefinedexecutionerror()->set_message(message.toStdString());
    return aborted(error);
}

grpc::Status SilaError::framework(Framework type, const QString &message)
{
    sila::FrameworkError::ErrorType code = sila::FrameworkError::COMMAND_EXECUTION_NOT_ACCEPTED;
    switch (type) {
    case Framework::CommandExecutionNotAccepted:
        code = sila::FrameworkError::COMMAND_EXECUTION_NOT_ACCEPTED;
        break;
    case Framework::InvalidCommandExecutionUuid:
        code = sila::FrameworkError::INVALID_COMMAND_EXECUTION_UUID;
        break;
    case Framework::CommandExecutionNotFinished:
        code = sila::FrameworkError::COMMAND_EXECUTION_NOT_FINISHED;
        break;
    case Framework::InvalidMetadata:
        code = sila::FrameworkError::INVALID_METADATA;
        break;
    case Framework::NoMetadataAllowed:
        code = sila::FrameworkError::NO_METADATA_ALLOWED;
        break;
    }
    sila::SiLAError error;
    error.mutable_frameworkerror()->set_errortype(code);
    error.mutable_frameworkerror()->set_message(message.toStdString());
    return aborted(error);
}

grpc::Status SilaError::controlRefused(const QString &command, const QString &why)
{
    if (!why.isEmpty())
        return framework(Framework::CommandExecutionNotAccepted,
                         QStringLiteral("%1 is refused: on this server %2").arg(command, why));
    return framework(Framework::CommandExecutionNotAccepted,
                     QStringLiteral("%1 is refused: this server does not allow control of the "
                                    "pump (it runs without --allow-control)")
                         .arg(command));
}

grpc::Status SilaError::configRefused(const QString &command)
{
    return framework(Framework::CommandExecutionNotAccepted,
                     QStringLiteral("%1 changes the server's configuration, and this server does "
                                    "not allow it (it runs without --allow-config)")
                         .arg(command));
}

bool SilaError::wellFormedUuid(const QString &uuid)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return pattern.match(uuid).hasMatch();
}

QString SilaError::parameter(const QString &feature, const QString &command,
                             const QString &parameter)
{
    return QStringLiteral("%1/Command/%2/Parameter/%3").arg(feature, command, parameter);
}

QString SilaError::definedError(const QString &feature, const QString &error)
{
    return QStringLiteral("%1/DefinedExecutionError/%2").arg(feature, error);
}
