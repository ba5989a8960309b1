#include "pump/KeyTable.h"
#include "sila/SilaFeatures.h"

#include <QXmlStreamReader>
#include <QtTest>

#include <google/protobuf/descriptor.h>

// Link the generated services, so that their descriptors are in the pool.
#include "CancelController.grpc.pb.h"
#include "DosingPumpController.grpc.pb.h"
#include "PauseController.grpc.pb.h"
#include "SiLAService.grpc.pb.h"

namespace {

// One element of a definition with a type: a parameter, a response or a property.
struct Typed
{
    QString identifier;
    QString type; // "Real", "String", ... or "DataType_UUID" for a named type
    bool list = false;
    double minimum = qQNaN();
    double maximum = qQNaN();
    QString unit;
};

struct Member
{
    QString identifier;
    bool observable = false;
    QList<Typed> parameters;
    QList<Typed> responses;
    Typed property;
};

struct Definition
{
    QString error;
    QList<Member> commands;
    QList<Member> properties;
};

// Reads the inside of a <DataType> element into the type it stands for, through constraints
// and lists, up to the element's end.
void readType(QXmlStreamReader &xml, Typed &typed)
{
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("Basic")) {
            typed.type = xml.readElementText();
        } else if (name == QLatin1String("DataTypeIdentifier")) {
            typed.type = QStringLiteral("DataType_") + xml.readElementText();
        } else if (name == QLatin1String("MinimalInclusive")) {
            typed.minimum = xml.readElementText().toDouble();
        } else if (name == QLatin1String("MaximalInclusive")) {
            typed.maximum = xml.readElementText().toDouble();
        } else if (name == QLatin1String("Label")) {
            typed.unit = xml.readElementText();
        } else if (name == QLatin1String("List")) {
            typed.list = true;
            readType(xml, typed);
        } else if (name == QLatin1String("DataType") || name == QLatin1String("Constrained") ||
                   name == QLatin1String("Constraints") || name == QLatin1String("Unit")) {
            readType(xml, typed);
        } else {
            xml.skipCurrentElement();
        }
    }
}

Typed readElement(QXmlStreamReader &xml)
{
    Typed typed;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Identifier"))
            typed.identifier = xml.readElementText();
        else if (xml.name() == QLatin1String("DataType"))
            readType(xml, typed);
        else
            xml.skipCurrentElement();
    }
    return typed;
}

Member readMember(QXmlStreamReader &xml)
{
    Member member;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("Identifier")) {
            member.identifier = xml.readElementText();
        } else if (name == QLatin1String("Observable")) {
            member.observable = xml.readElementText() == QLatin1String("Yes");
        } else if (name == QLatin1String("Parameter")) {
            member.parameters << readElement(xml);
        } else if (name == QLatin1String("Response")) {
            member.responses << readElement(xml);
        } else if (name == QLatin1String("DataType")) {
            member.property.identifier = member.identifier;
            readType(xml, member.property);
        } else {
            xml.skipCurrentElement();
        }
    }
    return member;
}

Definition readDefinition(const QString &text)
{
    Definition definition;
    QXmlStreamReader xml(text);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Feature") ||
        xml.namespaceUri() != QLatin1String("http://www.sila-standard.org")) {
        definition.error = QStringLiteral("no Feature element in the SiLA namespace");
        return definition;
    }
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Command"))
            definition.commands << readMember(xml);
        else if (xml.name() == QLatin1String("Property"))
            definition.properties << readMember(xml);
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        definition.error = xml.errorString();
    return definition;
}

QString qualified(const google::protobuf::Descriptor *descriptor)
{
    return QString::fromStdString(descriptor->full_name());
}

const QString framework = QStringLiteral("sila2.org.silastandard.");

// The message's fields are the elements, in order, numbered from 1 and typed as the mapping says.
void compareFields(const google::protobuf::Descriptor *message, const QList<Typed> &elements,
                   const QString &package)
{
    QVERIFY(message);
    QCOMPARE(message->field_count(), elements.size());
    for (int i = 0; i < elements.size(); ++i) {
        const auto *field = message->field(i);
        const Typed &element = elements.at(i);
        QCOMPARE(QString::fromStdString(field->name()), element.identifier);
        QCOMPARE(field->number(), i + 1);
        QCOMPARE(field->is_repeated(), element.list);
        QVERIFY(field->message_type());
        const QString type = element.type.startsWith(QLatin1String("DataType_"))
                                 ? package + element.type
                                 : framework + element.type;
        QCOMPARE(qualified(field->message_type()), type);
    }
}

} // namespace

// The generated files register their descriptors only when linked: name one message of each.
const google::protobuf::FileDescriptor *const generatedFiles[] = {
    sila2::org::silastandard::core::silaservice::v1::SetServerName_Parameters::descriptor()->file(),
    sila2::org::dosetta::dispensing::dosingpumpcontroller::v1::DoseVolume_Parameters::descriptor()
        ->file(),
    sila2::org::silastandard::core::commands::pausecontroller::v1::Pause_Parameters::descriptor()
        ->file(),
    sila2::org::silastandard::core::commands::cancelcontroller::v1::CancelAll_Parameters::
        descriptor()
            ->file()};

const google::protobuf::ServiceDescriptor *service(const QString &name)
{
    for (const auto *file : generatedFiles) {
        if (const auto *found = file->pool()->FindServiceByName(name.toStdString()))
            return found;
    }
    return nullptr;
}

class TestSilaFeatures : public QObject
{
    Q_OBJECT

private slots:
    void definitionMatchesService_data();
    void definitionMatchesService();
    void limitsFollowTheKeyTable_data();
    void limitsFollowTheKeyTable();
};

void TestSilaFeatures::definitionMatchesService_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<QString>("service");

    QTest::newRow("SiLAService") << QStringLiteral("org.silastandard/core/SiLAService/v1")
                                 << QStringLiteral("sila2.org.silastandard.core.silaservice.v1."
                                                   "SiLAService");
    QTest::newRow("DosingPumpController")
        << QStringLiteral("org.dosetta/dispensing/DosingPumpController/v1")
        << QStringLiteral("sila2.org.dosetta.dispensing.dosingpumpcontroller.v1."
                          "DosingPumpController");
    QTest::newRow("PauseController")
        << QStringLiteral("org.silastandard/core.commands/PauseController/v1")
        << QStringLiteral("sila2.org.silastandard.core.commands.pausecontroller.v1."
                          "PauseController");
    QTest::newRow("CancelController")
        << QStringLiteral("org.silastandard/core.commands/CancelController/v1")
        << QStringLiteral("sila2.org.silastandard.core.commands.cancelcontroller.v1."
                          "CancelController");
}

// Every command and property of the definition has exactly its methods in the generated
// service, with the messages the mapping gives it, and the service has nothing else.
void TestSilaFeatures::definitionMatchesService()
{
    QFETCH(QString, feature);
    QFETCH(QString, service);

    QVERIFY(SilaFeatures::identifiers().contains(feature));
    const Definition definition = readDefinition(SilaFeatures::definition(feature));
    QVERIFY2(definition.error.isEmpty(), qPrintable(definition.error));
    QVERIFY(!definition.commands.isEmpty() || !definition.properties.isEmpty());

    const auto *descriptor = ::service(service);
    QVERIFY2(descriptor, qPrintable(service));
    const QString package = service.section(QLatin1Char('.'), 0, -2) + QLatin1Char('.');
    const QString uuid = framework + QStringLiteral("CommandExecutionUUID");

    int methods = 0;
    auto method = [&](const QString &name) {
        ++methods;
        return descriptor->FindMethodByName(name.toStdString());
    };
    for (const Member &command : definition.commands) {
        const QString id = command.identifier;
        const auto *call = method(id);
        QVERIFY2(call, qPrintable(id));
        QVERIFY(!call->client_streaming() && !call->server_streaming());
        QCOMPARE(qualified(call->input_type()), package + id + QStringLiteral("_Parameters"));
        compareFields(call->input_type(), command.parameters, package);
        if (!command.observable) {
            QCOMPARE(qualified(call->output_type()), package + id + QStringLiteral("_Responses"));
            compareFields(call->output_type(), command.responses, package);
            continue;
        }
        QCOMPARE(qualified(call->output_type()), framework + QStringLiteral("CommandConfirmation"));
        const auto *info = method(id + QStringLiteral("_Info"));
        QVERIFY2(info, qPrintable(id));
        QVERIFY(!info->client_streaming() && info->server_streaming());
        QCOMPARE(qualified(info->input_type()), uuid);
        QCOMPARE(qualified(info->output_type()), framework + QStringLiteral("ExecutionInfo"));
        const auto *result = method(id + QStringLiteral("_Result"));
        QVERIFY2(result, qPrintable(id));
        QVERIFY(!result->client_streaming() && !result->server_streaming());
        QCOMPARE(qualified(result->input_type()), uuid);
        QCOMPARE(qualified(result->output_type()), package + id + QStringLiteral("_Responses"));
        compareFields(result->output_type(), command.responses, package);
    }
    for (const Member &property : definition.properties) {
        const QString name =
            (property.observable ? QStringLiteral("Subscribe_") : QStringLiteral("Get_")) +
            property.identifier;
        const auto *call = method(name);
        QVERIFY2(call, qPrintable(name));
        QVERIFY(!call->client_streaming());
        QCOMPARE(call->server_streaming(), property.observable);
        QCOMPARE(qualified(call->input_type()), package + name + QStringLiteral("_Parameters"));
        compareFields(call->input_type(), {}, package);
        QCOMPARE(qualified(call->output_type()), package + name + QStringLiteral("_Responses"));
        compareFields(call->output_type(), {property.property}, package);
    }
    QCOMPARE(descriptor->method_count(), methods);
}

void TestSilaFeatures::limitsFollowTheKeyTable_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("key");

    QTest::newRow("dose volume") << "DoseVolume"
                                 << "Volume"
                                 << "volume";
    QTest::newRow("dose rate") << "DoseVolume"
                               << "FlowRate"
                               << "flow-rate";
    QTest::newRow("flow rate") << "GenerateFlow"
                               << "FlowRate"
                               << "flow-rate";
    QTest::newRow("flow time") << "GenerateFlow"
                               << "RunTime"
                               << "dispense-time";
}

// The definition states the pump's limits; they must be the ones the pump core checks.
void TestSilaFeatures::limitsFollowTheKeyTable()
{
    QFETCH(QString, command);
    QFETCH(QString, parameter);
    QFETCH(QString, key);

    const Definition definition = readDefinition(
        SilaFeatures::definition(QStringLiteral("org.dosetta/dispensing/DosingPumpController/v1")));
    const Pump::KeyTable::Key &limits = Pump::KeyTable::key(key);
    bool found = false;
    for (const Member &member : definition.commands) {
        if (member.identifier != command)
            continue;
        for (const Typed &typed : member.parameters) {
            if (typed.identifier != parameter)
                continue;
            found = true;
            QCOMPARE(typed.type, QStringLiteral("Real"));
            QCOMPARE(typed.minimum, limits.minimum);
            QCOMPARE(typed.maximum, limits.maximum);
            QCOMPARE(typed.unit, limits.unit);
        }
    }
    QVERIFY(found);
}

QTEST_GUILESS_MAIN(TestSilaFeatures)
#include "tst_silafeatures.moc"
