#include "SilaCoreService.h"

#include "SilaCallGate.h"
#include "SilaError.h"
#include "SilaFeatures.h"
#include "SilaIdentity.h"
#include "platform/EscapedText.h"
#include "platform/TickClock.h"

#include <QRegularExpression>

namespace v1 = sila2::org::silastandard::core::silaservice::v1;

namespace {

const QString feature = QStringLiteral("org.silastandard/core/SiLAService/v1");
// The longest name the feature allows, in characters.
constexpr int NameLength = 255;

std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace

SilaCoreService::SilaCoreService(SilaCallGate &gate, SilaIdentity &identity, const About &about,
                                 bool allowConfig, std::function<void(const QString &)> nameChanged,
                                 std::function<void(const QString &)> log)
    : gate(gate)
    , identity(identity)
    , about(about)
    , allowConfig(allowConfig)
    , nameChanged(std::move(nameChanged))
    , log(std::move(log))
{}

QString SilaCoreService::serverVersion(const QString &version)
{
    // Anything after major.minor.patch goes after an underscore, with only the characters the
    // pattern allows: "1.0.1-rc1" becomes "1.0.1_rc1".
    static const QRegularExpression numbers(
        QStringLiteral("^(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*))?"));
    const QRegularExpressionMatch match = numbers.match(version);
    if (!match.hasMatch())
        return QStringLiteral("0.0_") +
               QString(version).replace(QRegularExpression(QStringLiteral("[^_a-zA-Z0-9]")),
                                        QStringLiteral("_"));
    QString rest = version.mid(match.capturedLength());
    rest.replace(QRegularExpression(QStringLiteral("[^_a-zA-Z0-9]")), QStringLiteral("_"));
    while (rest.startsWith(QLatin1Char('_')))
        rest.remove(0, 1);
    return rest.isEmpty() ? match.captured(0) : match.captured(0) + QLatin1Char('_') + rest;
}

grpc::ServerUnaryReactor *
SilaCoreService::GetFeatureDefinition(grpc::CallbackServerContext *call,
                                      const v1::GetFeatureDefinition_Parameters *request,
                                      v1::GetFeatureDefinition_Responses *response)
{
    return gate.unary(call, [request, response] {
        const QString parameter = SilaError::parameter(
            feature, QStringLiteral("GetFeatureDefinition"), QStringLiteral("FeatureIdentifier"));
        if (!request->has_featureidentifier())
            return SilaError::validation(parameter,
                                         QStringLiteral("the feature identifier is missing"));
        const QString identifier = QString::fromStdString(request->featureidentifier().value());
        // A client's text goes back to it only when short, and escaped: an error may be logged
        // or shown by the client as it stands.
        const QString shown =
            identifier.size() > EchoLength
                ? QStringLiteral("an identifier of %1 characters").arg(identifier.size())
                : QStringLiteral("\"%1\"").arg(EscapedText::text(identifier));
        static const QRegularExpression qualified(
            QStringLiteral("^[a-z][a-z\\.]*/[a-z][a-z\\.]*/[A-Z][a-zA-Z0-9]*/v(0|[1-9][0-9]*)$"));
        if (!qualified.match(identifier).hasMatch()) {
            return SilaError::validation(
                parameter, QStringLiteral("%1 is not a fully qualified feature identifier "
                                          "(originator/category/Identifier/vMajor)")
                               .arg(shown));
        }
        const QString definition = SilaFeatures::definition(identifier);
        if (definition.isEmpty()) {
            return SilaError::defined(
                SilaError::definedError(feature, QStringLiteral("UnimplementedFeature")),
                QStringLiteral("this server does not implement %1; it implements %2")
                    .arg(shown, SilaFeatures::identifiers().join(QStringLiteral(", "))));
        }
        response->mutable_featuredefinition()->set_value(utf8(definition));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *
SilaCoreService::SetServerName(grpc::CallbackServerContext *call,
                               const v1::SetServerName_Parameters *request,
                               v1::SetServerName_Responses *)
{
    return gate.unary(call, [this, request] {
        const QString command = QStringLiteral("SetServerName");
        if (!allowConfig) {
            if (log)
                log(QStringLiteral("%1 refused: the server does not allow configuration")
                        .arg(command));
            return SilaError::configRefused(command);
        }
        const QString parameter =
            SilaError::parameter(feature, command, QStringLiteral("ServerName"));
        if (!request->has_servername())
            return SilaError::validation(parameter, QStringLiteral("the name is missing"));
        const QString name = QString::fromStdString(request->servername().value());
        if (name.size() > NameLength) {
            return SilaError::validation(parameter,
                                         QStringLiteral("the name has %1 characters, more than %2")
                                             .arg(name.size())
                                             .arg(NameLength));
        }
        const QString problem = SilaIdentity::nameProblem(name);
        if (!problem.isEmpty())
            return SilaError::validation(parameter, problem);
        const qint64 now = TickClock::now();
        if (renamed && now - lastRename < RenameIntervalMs) {
            return SilaError::framework(
                SilaError::Framework::CommandExecutionNotAccepted,
                QStringLiteral("the server was renamed less than a second ago; one rename a "
                               "second is taken, try again in %1 ms")
                    .arg(RenameIntervalMs - (now - lastRename)));
        }
        QString error;
        if (!identity.setName(name, &error))
            return SilaError::undefined(QStringLiteral("the name cannot be kept: %1").arg(error));
        renamed = true;
        lastRename = now;
        if (nameChanged)
            nameChanged(identity.name());
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *SilaCoreService::Get_ServerName(grpc::CallbackServerContext *call,
                                                          const v1::Get_ServerName_Parameters *,
                                                          v1::Get_ServerName_Responses *response)
{
    return gate.unary(call, [this, response] {
        response->mutable_servername()->set_value(utf8(identity.name()));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *SilaCoreService::Get_ServerType(grpc::CallbackServerContext *call,
                                                          const v1::Get_ServerType_Parameters *,
                                                          v1::Get_ServerType_Responses *response)
{
    return gate.unary(call, [response] {
        response->mutable_servertype()->set_value("DosettaDosingPump");
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *SilaCoreService::Get_ServerUUID(grpc::CallbackServerContext *call,
                                                          const v1::Get_ServerUUID_Parameters *,
                                                          v1::Get_ServerUUID_Responses *response)
{
    return gate.unary(call, [this, response] {
        response->mutable_serveruuid()->set_value(utf8(identity.uuid()));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *
SilaCoreService::Get_ServerDescription(grpc::CallbackServerContext *call,
                                       const v1::Get_ServerDescription_Parameters *,
                                       v1::Get_ServerDescription_Responses *response)
{
    return gate.unary(call, [this, response] {
        response->mutable_serverdescription()->set_value(utf8(about.description));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *
SilaCoreService::Get_ServerVersion(grpc::CallbackServerContext *call,
                                   const v1::Get_ServerVersion_Parameters *,
                                   v1::Get_ServerVersion_Responses *response)
{
    return gate.unary(call, [this, response] {
        response->mutable_serverversion()->set_value(utf8(serverVersion(about.version)));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *
SilaCoreService::Get_ServerVendorURL(grpc::CallbackServerContext *call,
                                     const v1::Get_ServerVendorURL_Parameters *,
                                     v1::Get_ServerVendorURL_Responses *response)
{
    return gate.unary(call, [this, response] {
        response->mutable_servervendorurl()->set_value(utf8(about.vendorUrl));
        return grpc::Status::OK;
    });
}

grpc::ServerUnaryReactor *
SilaCoreService::Get_ImplementedFeatures(grpc::CallbackServerContext *call,
                                         const v1::Get_ImplementedFeatures_Parameters *,
                                         v1::Get_ImplementedFeatures_Responses *response)
{
    return gate.unary(call, [response] {
        for (const QString &identifier : SilaFeatures::identifiers())
            response->add_implementedfeatures()->set_value(utf8(identifier));
        return grpc::Status::OK;
    });
}
