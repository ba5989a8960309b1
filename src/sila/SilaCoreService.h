#pragma once

#include "SiLAService.grpc.pb.h"

#include <QString>

#include <functional>

class SilaCallGate;
class SilaIdentity;

// The SiLAService feature: who the server is, what it implements, and its name, which a client
// may change on a server that allows configuration, once a second at most.
class SilaCoreService
    : public sila2::org::silastandard::core::silaservice::v1::SiLAService::CallbackService
{
public:
    // The project has no address of its own: a lab names its own page with vendor-url.
    static inline const QString DefaultVendorUrl = QStringLiteral("https://example.org/dosetta");

    struct About
    {
        QString version; // the program's version
        QString description;
        QString vendorUrl = DefaultVendorUrl; // http(s), as the feature's pattern requires
    };

    // The longest feature identifier this server repeats in an error; the standard allows 255
    // characters for an identifier. A longer one is described by its length alone.
    static constexpr int EchoLength = 255;

    // One rename a second: each goes to disk and to the network's announcement.
    static constexpr int RenameIntervalMs = 1000;

    // nameChanged runs on the gate's thread after SetServerName kept a new name; log gets a line
    // for each rename refused for want of permission.
    SilaCoreService(SilaCallGate &gate, SilaIdentity &identity, const About &about,
                    bool allowConfig, std::function<void(const QString &)> nameChanged,
                    std::function<void(const QString &)> log);

    // What ServerVersion reports: major.minor[.patch][_text], the program's version made to fit.
    static QString serverVersion(const QString &version);

    grpc::ServerUnaryReactor *GetFeatureDefinition(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::GetFeatureDefinition_Parameters
            *request,
        sila2::org::silastandard::core::silaservice::v1::GetFeatureDefinition_Responses *response)
        override;
    grpc::ServerUnaryReactor *SetServerName(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::SetServerName_Parameters *request,
        sila2::org::silastandard::core::silaservice::v1::SetServerName_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerName(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerName_Parameters *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerName_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerType(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerType_Parameters *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerType_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerUUID(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerUUID_Parameters *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerUUID_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerDescription(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerDescription_Parameters
            *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerDescription_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerVersion(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerVersion_Parameters
            *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerVersion_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ServerVendorURL(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ServerVendorURL_Parameters
            *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ServerVendorURL_Responses *response)
        override;
    grpc::ServerUnaryReactor *Get_ImplementedFeatures(
        grpc::CallbackServerContext *call,
        const sila2::org::silastandard::core::silaservice::v1::Get_ImplementedFeatures_Parameters
            *request,
        sila2::org::silastandard::core::silaservice::v1::Get_ImplementedFeatures_Responses
            *response) override;

private:
    SilaCallGate &gate;
    SilaIdentity &identity;
    About about;
    bool allowConfig;
    std::function<void(const QString &)> nameChanged;
    std::function<void(const QString &)> log;
    bool renamed = false;
    qint64 lastRename = 0; // monotonic ms
};
