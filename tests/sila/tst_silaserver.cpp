// The SiLA server over real gRPC on a free port, with the simulator as the pump: the version it
// serves, the executions it keeps, a shutdown with streams open, and a start it must refuse.
// Calls and their errors from start to end are the independent Python client's tests.

#include "SimProcess.h"

#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "sila/SilaCoreService.h"
#include "sila/SilaExecutions.h"
#include "sila/SilaIdentity.h"
#include "sila/SilaPump.h"
#include "sila/SilaServer.h"

#include "DosingPumpController.grpc.pb.h"
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

namespace {

// The client side: blocking stubs, called off the test's thread, which serves the calls.
struct Client
{
    explicit Client(quint16 port)
        : channel(grpc::CreateChannel("127.0.0.1:" + std::to_string(port),
                                      grpc::InsecureChannelCredentials()))
        , service(core::SiLAService::NewStub(channel))
        , pump(dosing::DosingPumpController::NewStub(channel))
    {}

    std::shared_ptr<grpc::Channel> channel;
    std::unique_ptr<core::SiLAService::Stub> service;
    std::unique_ptr<dosing::DosingPumpController::Stub> pump;
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

sila::Real real(double value)
{
    sila::Real r;
    r.set_value(value);
    return r;
}

// The simulator, the pump core on its line, the pump as the server sees it, and a server on it
// that allows control.
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
        return controlling.start(config, &error);
    }

    SimProcess sim;
    QTemporaryDir folder;
    SilaIdentity identity;
    PumpCore core;
    ProgramRunner runner{core};
    SilaPump pump{core, runner};
    SilaServer controlling{pump, identity};
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

} // namespace

class TestSilaServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void serverVersion_data();
    void serverVersion();
    void executionsKeptAndForgotten();
    void shutdownWithOpenStreams();
    void startRefused_data();
    void startRefused();

private:
    std::unique_ptr<Rig> rig;
    std::unique_ptr<Client> controlling;
};

void TestSilaServer::initTestCase()
{
    rig = std::make_unique<Rig>();
    QVERIFY(rig->start());
    controlling = std::make_unique<Client>(rig->controlling.port());
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
