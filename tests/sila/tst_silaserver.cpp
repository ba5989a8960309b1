// The SiLA server over real gRPC on a free port, with the simulator as the pump: the errors as
// the standard encodes them, refused metadata and control, the executions kept, and a shutdown
// with streams open. Runs from start to end are the Python client's tests.

#include "SimProcess.h"

#include "pumpcore/PumpCore.h"
#include "sila/SilaCoreService.h"
#include "sila/SilaExecutions.h"
#include "sila/SilaIdentity.h"
#include "sila/SilaPump.h"
#include "sila/SilaServer.h"

#include "CancelController.grpc.pb.h"
#include "DosingPumpController.grpc.pb.h"
#include "PauseController.grpc.pb.h"
#include "SiLAService.grpc.pb.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <grpcpp/grpcpp.h>

#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace sila = sila2::org::silastandard;
namespace core = sila2::org::silastandard::core::silaservice::v1;
namespace dosing = sila2::org::dosetta::dispensing::dosingpumpcontroller::v1;
namespace pausing = sila2::org::silastandard::core::commands::pausecontroller::v1;
namespace cancelling = sila2::org::silastandard::core::commands::cancelcontroller::v1;

namespace {

const std::string dosingFeature = "org.dosetta/dispensing/DosingPumpController/v1";

// The client side: blocking stubs, called off the test's thread, which serves the calls.
struct Client
{
    explicit Client(quint16 port)
        : channel(grpc::CreateChannel("127.0.0.1:" + std::to_string(port),
                                      grpc::InsecureChannelCredentials()))
        , service(core::SiLAService::NewStub(channel))
        , pump(dosing::DosingPumpController::NewStub(channel))
        , pause(pausing::PauseController::NewStub(channel))
        , cancel(cancelling::CancelController::NewStub(channel))
    {}

    std::shared_ptr<grpc::Channel> channel;
    std::unique_ptr<core::SiLAService::Stub> service;
    std::unique_ptr<dosing::DosingPumpController::Stub> pump;
    std::unique_ptr<pausing::PauseController::Stub> pause;
    std::unique_ptr<cancelling::CancelController::Stub> cancel;
};

void prepare(grpc::ClientContext &context)
{
    context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(10));
}

// Runs a blocking call on a thread of its own while this thread's event loop runs.
template<class F>
auto offThread(F f) -> decltype(f())
{
    auto future = std::async(std::launch::async, std::move(f));
    const bool back = QTest::qWaitFor(
        [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        15000);
    if (!back)
        qWarning("a call is not back after 15 s; its deadline ends it");
    return future.get();
}

// A server stream read on a thread of its own into a list.
template<class T>
class Watch
{
public:
    using Open = std::function<std::unique_ptr<grpc::ClientReader<T>>(grpc::ClientContext *)>;

    explicit Watch(Open open)
        : thread([this, open] {
            const auto reader = open(&context);
            T message;
            while (reader->Read(&message)) {
                std::lock_guard<std::mutex> lock(mutex);
                got.push_back(message);
            }
            const grpc::Status status = reader->Finish();
            std::lock_guard<std::mutex> lock(mutex);
            end = status;
            ended = true;
        })
    {}
    ~Watch()
    {
        context.TryCancel();
        thread.join();
    }

    std::vector<T> messages()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return got;
    }
    bool waitForEnd(int timeoutMs)
    {
        return QTest::qWaitFor([this] { return finished(); }, timeoutMs);
    }
    bool waitForCount(size_t count, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return messages().size() >= count; }, timeoutMs);
    }
    bool finished()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return ended;
    }
    grpc::Status status()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return end;
    }

private:
    grpc::ClientContext context;
    std::mutex mutex;
    std::vector<T> got;
    grpc::Status end;
    bool ended = false;
    std::thread thread; // last: it uses the members above
};

// The error a status carries, decoded as a client knowing only the standard would.
sila::SiLAError decode(const grpc::Status &status)
{
    sila::SiLAError error;
    if (status.error_code() != grpc::StatusCode::ABORTED)
        return error;
    const QByteArray bytes = QByteArray::fromBase64(
        QByteArray::fromStdString(status.error_message()), QByteArray::AbortOnBase64DecodingErrors);
    if (bytes.isEmpty() || !error.ParseFromArray(bytes.constData(), bytes.size()))
        error.Clear();
    return error;
}

// "validation <parameter>", "defined <identifier>", "undefined", "framework <type>".
QString kind(const grpc::Status &status)
{
    const sila::SiLAError error = decode(status);
    switch (error.error_case()) {
    case sila::SiLAError::kValidationError:
        return QStringLiteral("validation ") +
               QString::fromStdString(error.validationerror().parameter());
    case sila::SiLAError::kDefinedExecutionError:
        return QStringLiteral("defined ") +
               QString::fromStdString(error.definedexecutionerror().erroridentifier());
    case sila::SiLAError::kUndefinedExecutionError:
        return QStringLiteral("undefined");
    case sila::SiLAError::kFrameworkError:
        return QStringLiteral("framework ") +
               QString::fromStdString(
                   sila::FrameworkError::ErrorType_Name(error.frameworkerror().errortype()));
    case sila::SiLAError::ERROR_NOT_SET:
        break;
    }
    return QStringLiteral("no SiLA error (status %1: %2)")
        .arg(int(status.error_code()))
        .arg(QString::fromStdString(status.error_message()));
}

QStringList actions(SimProcess &sim)
{
    QStringList frames;
    for (const QString &body : sim.received()) {
        if (!body.startsWith(QLatin1String("01?")))
            frames << body;
    }
    return frames;
}

sila::Real real(double value)
{
    sila::Real r;
    r.set_value(value);
    return r;
}

// The simulator, the pump core on its line, the pump as the server sees it, and two servers on
// it: one that allows control and one that does not.
struct Rig
{
    Rig()
        : sim(1, {QStringLiteral("--speed"), QStringLiteral("20")})
    {}

    bool start()
    {
        QString error;
        if (!sim.start() || !identity.load(folder.path(), &error))
            return false;
        core.link().setAddress(1);
        core.link().setCommPortName(sim.devicePath());
        if (!QTest::qWaitFor([this] { return pump.snapshot().state == "stopped"; }, 5000))
            return false;
        SilaServer::Config config;
        config.host = QStringLiteral("127.0.0.1");
        config.port = 0;
        config.insecure = true;
        config.version = QStringLiteral("1.0.1");
        config.allowControl = true;
        if (!controlling.start(config, &error))
            return false;
        config.allowControl = false;
        return watching.start(config, &error);
    }

    SimProcess sim;
    QTemporaryDir folder;
    SilaIdentity identity;
    PumpCore core;
    SilaPump pump{core};
    SilaServer controlling{pump, identity};
    SilaServer watching{pump, identity};
};

std::string startDose(Client &client, double volume, double rate, grpc::Status *status)
{
    return offThread([&] {
        grpc::ClientContext context;
        prepare(context);
        dosing::DoseVolume_Parameters parameters;
        *parameters.mutable_volume() = real(volume);
        *parameters.mutable_flowrate() = real(rate);
        sila::CommandConfirmation confirmation;
        *status = client.pump->DoseVolume(&context, parameters, &confirmation);
        return confirmation.commandexecutionuuid().value();
    });
}

using Info = Watch<sila::ExecutionInfo>;

std::unique_ptr<Info> watchDose(Client &client, const std::string &uuid)
{
    return std::make_unique<Info>([&client, uuid](grpc::ClientContext *context) {
        sila::CommandExecutionUUID request;
        request.set_value(uuid);
        return client.pump->DoseVolume_Info(context, request);
    });
}

// One call that must fail, against the server that allows control or the one that does not.
using Call = std::function<grpc::Status(Client &)>;

} // namespace

Q_DECLARE_METATYPE(Call)

class TestSilaServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refused_data();
    void refused();
    void serverVersion_data();
    void serverVersion();
    void executionsKeptAndForgotten();
    void shutdownWithOpenStreams();
    void startRefused_data();
    void startRefused();

private:
    std::unique_ptr<Rig> rig;
    std::unique_ptr<Client> controlling;
    std::unique_ptr<Client> watching;
};

void TestSilaServer::initTestCase()
{
    rig = std::make_unique<Rig>();
    QVERIFY(rig->start());
    controlling = std::make_unique<Client>(rig->controlling.port());
    watching = std::make_unique<Client>(rig->watching.port());
}

void TestSilaServer::refused_data()
{
    QTest::addColumn<bool>("control");
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("error");

    const QString pumpFeature = QString::fromStdString(dosingFeature);
    auto dose = [](double volume, double rate, bool withRate = true) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            dosing::DoseVolume_Parameters parameters;
            *parameters.mutable_volume() = real(volume);
            if (withRate)
                *parameters.mutable_flowrate() = real(rate);
            sila::CommandConfirmation confirmation;
            return client.pump->DoseVolume(&context, parameters, &confirmation);
        });
    };
    auto flow = [](double rate, double runTime) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            dosing::GenerateFlow_Parameters parameters;
            *parameters.mutable_flowrate() = real(rate);
            *parameters.mutable_runtime() = real(runTime);
            sila::CommandConfirmation confirmation;
            return client.pump->GenerateFlow(&context, parameters, &confirmation);
        });
    };
    auto definition = [](const std::string &feature, const std::string &metadata = {}) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            if (!metadata.empty())
                context.AddMetadata(metadata, "\x0a\x02ok");
            core::GetFeatureDefinition_Parameters parameters;
            parameters.mutable_featureidentifier()->set_value(feature);
            core::GetFeatureDefinition_Responses responses;
            return client.service->GetFeatureDefinition(&context, parameters, &responses);
        });
    };
    auto name = [](const std::string &text) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            core::SetServerName_Parameters parameters;
            parameters.mutable_servername()->set_value(text);
            core::SetServerName_Responses responses;
            return client.service->SetServerName(&context, parameters, &responses);
        });
    };
    auto result = [](const std::string &uuid) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            sila::CommandExecutionUUID request;
            request.set_value(uuid);
            dosing::GenerateFlow_Responses responses;
            return client.pump->GenerateFlow_Result(&context, request, &responses);
        });
    };
    auto prime = [] {
        return Call([](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            dosing::Prime_Responses responses;
            return client.pump->Prime(&context, {}, &responses);
        });
    };
    auto pause = [](const std::string &uuid) {
        return Call([=](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            pausing::Pause_Parameters parameters;
            parameters.mutable_commandexecutionuuid()->mutable_uuid()->set_value(uuid);
            pausing::Pause_Responses responses;
            return client.pause->Pause(&context, parameters, &responses);
        });
    };
    auto cancelAll = [] {
        return Call([](Client &client) {
            grpc::ClientContext context;
            prepare(context);
            cancelling::CancelAll_Responses responses;
            return client.cancel->CancelAll(&context, {}, &responses);
        });
    };
    const std::string stranger = "0b8b7c3e-4a41-4c61-9b9e-5c0f6f1d2e3a";
    const QString dosePrefix =
        QStringLiteral("validation %1/Command/DoseVolume/Parameter/").arg(pumpFeature);
    const QString flowPrefix =
        QStringLiteral("validation %1/Command/GenerateFlow/Parameter/").arg(pumpFeature);

    // Validation: named by the parameter's fully qualified identifier.
    QTest::newRow("volume above the pump's range")
        << true << dose(1000, 10) << dosePrefix + "Volume";
    QTest::newRow("volume below") << true << dose(0.05, 10) << dosePrefix + "Volume";
    QTest::newRow("dose rate above") << true << dose(5, 100.5) << dosePrefix + "FlowRate";
    QTest::newRow("dose rate missing") << true << dose(5, 0, false) << dosePrefix + "FlowRate";
    QTest::newRow("volume not a number") << true << dose(qQNaN(), 10) << dosePrefix + "Volume";
    QTest::newRow("run time above") << true << flow(10, 6000) << flowPrefix + "RunTime";
    QTest::newRow("run time that rounds to none")
        << true << flow(10, 0.4) << flowPrefix + "RunTime";
    QTest::newRow("flow rate below") << true << flow(0.5, 10) << flowPrefix + "FlowRate";
    QTest::newRow("name of 256 characters")
        << true << name(std::string(256, 'x'))
        << "validation org.silastandard/core/SiLAService/v1/Command/SetServerName/Parameter/"
           "ServerName";
    QTest::newRow("feature identifier malformed")
        << true << definition("DosingPumpController")
        << "validation org.silastandard/core/SiLAService/v1/Command/GetFeatureDefinition/"
           "Parameter/FeatureIdentifier";
    QTest::newRow("pause without a well-formed UUID")
        << true << pause("not-a-uuid")
        << "validation org.silastandard/core.commands/PauseController/v1/Command/Pause/"
           "Parameter/CommandExecutionUUID";
    // Defined execution errors.
    QTest::newRow("feature not implemented")
        << true << definition("org.silastandard/core/LockController/v2")
        << "defined org.silastandard/core/SiLAService/v1/DefinedExecutionError/"
           "UnimplementedFeature";
    QTest::newRow("pause of an unknown execution")
        << true << pause(stranger)
        << "defined org.silastandard/core.commands/PauseController/v1/DefinedExecutionError/"
           "InvalidCommandExecutionUUID";
    // Framework errors.
    QTest::newRow("result of an unknown execution")
        << true << result(stranger) << "framework INVALID_COMMAND_EXECUTION_UUID";
    QTest::newRow("SiLA client metadata")
        << true << definition(dosingFeature, "sila-org.example-any-v1-thing-bin")
        << "framework NO_METADATA_ALLOWED";
    QTest::newRow("dose without control")
        << false << dose(5, 10) << "framework COMMAND_EXECUTION_NOT_ACCEPTED";
    QTest::newRow("flow without control")
        << false << flow(10, 0) << "framework COMMAND_EXECUTION_NOT_ACCEPTED";
    QTest::newRow("prime without control")
        << false << prime() << "framework COMMAND_EXECUTION_NOT_ACCEPTED";
    QTest::newRow("pause without control")
        << false << pause(stranger) << "framework COMMAND_EXECUTION_NOT_ACCEPTED";
    QTest::newRow("cancel all without control")
        << false << cancelAll() << "framework COMMAND_EXECUTION_NOT_ACCEPTED";
}

// Each is refused with the standard's error, and nothing goes to the pump.
void TestSilaServer::refused()
{
    QFETCH(bool, control);
    QFETCH(Call, call);
    QFETCH(QString, error);

    const int before = actions(rig->sim).size();
    Client &client = control ? *controlling : *watching;
    const grpc::Status status = offThread([&] { return call(client); });
    QCOMPARE(kind(status), error);
    QTest::qWait(100);
    QCOMPARE(actions(rig->sim).size(), before);
}

void TestSilaServer::serverVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("served");
    QTest::newRow("release") << "1.0.1"
                             << "1.0.1";
    QTest::newRow("major and minor") << "2.3"
                                     << "2.3";
    QTest::newRow("release candidate") << "1.0.1-rc1"
                                       << "1.0.1_rc1";
    QTest::newRow("build metadata") << "1.2.0+git.5f2a"
                                    << "1.2.0_git_5f2a";
    QTest::newRow("leading zero") << "01.2"
                                  << "0.0_01_2";
}

void TestSilaServer::serverVersion()
{
    QFETCH(QString, version);
    QFETCH(QString, served);
    QCOMPARE(SilaCoreService::serverVersion(version), served);
}

// Finished executions are kept for their time, at most so many, the oldest going first; one
// still running is never forgotten.
void TestSilaServer::executionsKeptAndForgotten()
{
    SilaExecutions executions(std::chrono::milliseconds(300), 3);
    const QString running = executions.create(QStringLiteral("GenerateFlow"));
    QStringList done;
    for (int i = 0; i < 4; ++i) {
        done << executions.create(QStringLiteral("DoseVolume"));
        executions.succeed(done.last(), {});
    }
    std::string responses;
    QCOMPARE(kind(executions.result(done.first(), QStringLiteral("DoseVolume"), &responses)),
             QStringLiteral("framework INVALID_COMMAND_EXECUTION_UUID"));
    QCOMPARE(kind(executions.result(done.at(1), QStringLiteral("DoseVolume"), &responses)),
             QStringLiteral("framework INVALID_COMMAND_EXECUTION_UUID"));
    QVERIFY(executions.result(done.at(2), QStringLiteral("DoseVolume"), &responses).ok());
    QVERIFY(executions.result(done.last(), QStringLiteral("DoseVolume"), &responses).ok());
    QVERIFY(executions.running(running));

    QTest::qWait(400);
    QCOMPARE(kind(executions.result(done.last(), QStringLiteral("DoseVolume"), &responses)),
             QStringLiteral("framework INVALID_COMMAND_EXECUTION_UUID"));
    QCOMPARE(kind(executions.result(running, QStringLiteral("GenerateFlow"), &responses)),
             QStringLiteral("framework COMMAND_EXECUTION_NOT_FINISHED"));
}

// Shutdown ends property and Info streams that clients hold open, refuses calls after it, and
// returns in bounded time.
void TestSilaServer::shutdownWithOpenStreams()
{
    SilaServer server(rig->pump, rig->identity);
    SilaServer::Config config;
    config.host = QStringLiteral("127.0.0.1");
    config.port = 0;
    config.insecure = true;
    config.allowControl = true;
    QString error;
    QVERIFY2(server.start(config, &error), qPrintable(error));
    Client client(server.port());

    Watch<dosing::Subscribe_PumpState_Responses> state([&client](grpc::ClientContext *context) {
        return client.pump->Subscribe_PumpState(context, {});
    });
    QVERIFY(state.waitForCount(1));
    QCOMPARE(state.messages().front().pumpstate().value(), std::string("stopped"));
    grpc::Status status;
    const std::string uuid = startDose(client, 500, 10, &status);
    QVERIFY2(status.ok(), qPrintable(kind(status)));
    const auto info = watchDose(client, uuid);
    QVERIFY(info->waitForCount(1));
    QVERIFY(state.waitForCount(2));
    QCOMPARE(state.messages().back().pumpstate().value(), std::string("running"));

    QElapsedTimer timer;
    timer.start();
    server.shutdown();
    // The deadline is 2 s; streams ended first do not wait for it.
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(state.waitForEnd(2000));
    QVERIFY(info->waitForEnd(2000));
    QCOMPARE(state.status().error_code(), grpc::StatusCode::CANCELLED);
    QCOMPARE(info->status().error_code(), grpc::StatusCode::CANCELLED);
    QVERIFY(!offThread([&] {
                 grpc::ClientContext context;
                 prepare(context);
                 core::Get_ServerName_Responses responses;
                 return client.service->Get_ServerName(&context, {}, &responses);
             }).ok());

    // The pump is still dosing for the other servers; stop it for the tests after this one.
    rig->pump.stop();
    QVERIFY(QTest::qWaitFor([&] { return rig->pump.snapshot().state == "stopped"; }, 5000));
}

void TestSilaServer::startRefused_data()
{
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QByteArray>("certificate");
    QTest::addColumn<QByteArray>("key");
    const QByteArray garbage("-----BEGIN CERTIFICATE-----\nbm90IGEgY2VydGlmaWNhdGU=\n"
                             "-----END CERTIFICATE-----\n");
    QTest::newRow("address in use") << true << QByteArray() << QByteArray();
    QTest::newRow("TLS without a certificate") << false << QByteArray() << QByteArray("key");
    QTest::newRow("certificate that is none") << false << garbage << garbage;
}

// A server that cannot serve says so and leaves nothing listening.
void TestSilaServer::startRefused()
{
    QFETCH(bool, taken);
    QFETCH(QByteArray, certificate);
    QFETCH(QByteArray, key);

    SilaServer server(rig->pump, rig->identity);
    SilaServer::Config config;
    config.host = QStringLiteral("127.0.0.1");
    config.port = taken ? rig->controlling.port() : 0;
    config.insecure = taken;
    config.certificatePem = certificate;
    config.keyPem = key;
    QString error;
    QVERIFY(!server.start(config, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(server.port(), quint16(0));
    // The server that holds the port still answers.
    const grpc::Status status = offThread([&] {
        grpc::ClientContext context;
        prepare(context);
        core::Get_ServerUUID_Responses responses;
        return controlling->service->Get_ServerUUID(&context, {}, &responses);
    });
    QVERIFY2(status.ok(), qPrintable(kind(status)));
}

QTEST_GUILESS_MAIN(TestSilaServer)
#include "tst_silaserver.moc"
