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

// The feature definition language's structure: for each element, the children it may hold in
// the order they must come, with how often. Clients that validate reject a definition whose
// parts come in another order, so the order is checked, not only the names.
struct Child
{
    const char *name;
    int least;
    int most; // -1: unbounded
};

const QHash<QString, QVector<Child>> &sequences()
{
    static const QVector<Child> element = {
        {"Identifier", 1, 1}, {"DisplayName", 1, 1}, {"Description", 1, 1}, {"DataType", 1, 1}};
    static const QHash<QString, QVector<Child>> table = {
        {QStringLiteral("Command"),
         {{"Identifier", 1, 1},
          {"DisplayName", 1, 1},
          {"Description", 1, 1},
          {"Observable", 1, 1},
          {"Parameter", 0, -1},
          {"Response", 0, -1},
          {"IntermediateResponse", 0, -1},
          {"DefinedExecutionErrors", 0, 1}}},
        {QStringLiteral("Property"),
         {{"Identifier", 1, 1},
          {"DisplayName", 1, 1},
          {"Description", 1, 1},
          {"Observable", 1, 1},
          {"DataType", 1, 1},
          {"DefinedExecutionErrors", 0, 1}}},
        {QStringLiteral("Metadata"),
         {{"Identifier", 1, 1},
          {"DisplayName", 1, 1},
          {"Description", 1, 1},
          {"DataType", 1, 1},
          {"DefinedExecutionErrors", 0, 1}}},
        {QStringLiteral("DefinedExecutionError"),
         {{"Identifier", 1, 1}, {"DisplayName", 1, 1}, {"Description", 1, 1}}},
        {QStringLiteral("DefinedExecutionErrors"), {{"Identifier", 1, -1}}},
        {QStringLiteral("Parameter"), element},
        {QStringLiteral("Response"), element},
        {QStringLiteral("IntermediateResponse"), element},
        {QStringLiteral("Element"), element},
        {QStringLiteral("DataTypeDefinition"), element},
        {QStringLiteral("List"), {{"DataType", 1, 1}}},
        {QStringLiteral("Structure"), {{"Element", 1, -1}}},
        {QStringLiteral("Constrained"), {{"DataType", 1, 1}, {"Constraints", 1, 1}}},
        {QStringLiteral("Constraints"),
         {{"Length", 0, 1},
          {"MinimalLength", 0, 1},
          {"MaximalLength", 0, 1},
          {"Set", 0, 1},
          {"Pattern", 0, 1},
          {"MaximalExclusive", 0, 1},
          {"MaximalInclusive", 0, 1},
          {"MinimalExclusive", 0, 1},
          {"MinimalInclusive", 0, 1},
          {"Unit", 0, 1},
          {"ContentType", 0, 1},
          {"ElementCount", 0, 1},
          {"MinimalElementCount", 0, 1},
          {"MaximalElementCount", 0, 1},
          {"FullyQualifiedIdentifier", 0, 1},
          {"Schema", 0, 1},
          {"AllowedTypes", 0, 1}}},
    };
    return table;
}

struct Node
{
    QString name;
    QString text;
    QXmlStreamAttributes attributes;
    QList<Node> children;
};

Node readNode(QXmlStreamReader &xml)
{
    Node node{xml.name().toString(), {}, xml.attributes(), {}};
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            node.children.append(readNode(xml));
        else if (xml.isCharacters())
            node.text += xml.text();
        else if (xml.isEndElement())
            break;
    }
    node.text = node.text.trimmed();
    return node;
}

// The children's names against a sequence: each in its place, each as often as allowed.
QString checkSequence(const Node &node, const QVector<Child> &sequence, const QString &path)
{
    int at = 0;
    int seen = 0;
    for (const Node &child : node.children) {
        while (at < sequence.size() && child.name != QLatin1String(sequence[at].name)) {
            if (seen < sequence[at].least)
                return QStringLiteral("%1: %2 missing before %3")
                    .arg(path, QLatin1String(sequence[at].name), child.name);
            ++at;
            seen = 0;
        }
        if (at == sequence.size())
            return QStringLiteral("%1: %2 is out of order or not allowed here")
                .arg(path, child.name);
        if (sequence[at].most >= 0 && ++seen > sequence[at].most)
            return QStringLiteral("%1: more than %2 %3")
                .arg(path)
                .arg(sequence[at].most)
                .arg(child.name);
        if (sequence[at].most < 0)
            ++seen;
    }
    for (; at < sequence.size(); ++at, seen = 0)
        if (seen < sequence[at].least)
            return QStringLiteral("%1: %2 missing").arg(path, QLatin1String(sequence[at].name));
    return QString();
}

QString checkValues(const Node &node, const QString &path)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Z][a-zA-Z0-9]*$"));
    static const QStringList basics = {"String", "Integer", "Real",      "Boolean", "Binary",
                                       "Date",   "Time",    "Timestamp", "Any"};
    if (node.name == QLatin1String("Identifier") ||
        node.name == QLatin1String("DataTypeIdentifier")) {
        if (!identifier.match(node.text).hasMatch() || node.text.size() > 255)
            return QStringLiteral("%1: \"%2\" is not an identifier").arg(path, node.text);
    } else if (node.name == QLatin1String("DisplayName")) {
        if (node.text.isEmpty() || node.text.size() > 255)
            return QStringLiteral("%1: the display name is empty or too long").arg(path);
    } else if (node.name == QLatin1String("Observable")) {
        if (node.text != QLatin1String("Yes") && node.text != QLatin1String("No"))
            return QStringLiteral("%1: Observable is \"%2\"").arg(path, node.text);
    } else if (node.name == QLatin1String("Basic")) {
        if (!basics.contains(node.text))
            return QStringLiteral("%1: no basic type \"%2\"").arg(path, node.text);
    }
    return QString();
}

// Empty when the definition has the structure the schema gives; else the first fault and where.
QString schemaFault(const Node &node, const QString &path)
{
    const QString here = path.isEmpty() ? node.name : path + QLatin1Char('/') + node.name;
    QString fault = checkValues(node, here);
    if (!fault.isEmpty())
        return fault;
    if (node.name == QLatin1String("Feature")) {
        static const QVector<Child> head = {
            {"Identifier", 1, 1}, {"DisplayName", 1, 1}, {"Description", 1, 1}};
        static const QStringList members = {"Command", "Property", "Metadata",
                                            "DefinedExecutionError", "DataTypeDefinition"};
        Node start = node;
        start.children = node.children.mid(0, head.size());
        fault = checkSequence(start, head, here);
        for (const Node &member : node.children.mid(head.size()))
            if (fault.isEmpty() && !members.contains(member.name))
                fault = QStringLiteral("%1: %2 is not allowed here").arg(here, member.name);
        const auto attribute = [&](const char *name) {
            return node.attributes.value(QLatin1String(name)).toString();
        };
        static const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+$"));
        static const QRegularExpression lower(QStringLiteral("^[a-z][a-z.]*$"));
        if (fault.isEmpty() && (!version.match(attribute("SiLA2Version")).hasMatch() ||
                                !version.match(attribute("FeatureVersion")).hasMatch() ||
                                !lower.match(attribute("Originator")).hasMatch() ||
                                !lower.match(attribute("Category")).hasMatch()))
            fault = QStringLiteral("%1: a version, originator or category out of form").arg(here);
    } else if (node.name == QLatin1String("DataType")) {
        if (node.children.size() != 1)
            fault = QStringLiteral("%1: a data type holds exactly one type").arg(here);
    } else if (sequences().contains(node.name)) {
        fault = checkSequence(node, sequences().value(node.name), here);
    }
    if (!fault.isEmpty())
        return fault;
    // A constraint's inside (units, sets, content types) is not a definition's structure.
    if (node.name == QLatin1String("Constraints"))
        return QString();
    for (const Node &child : node.children) {
        fault = schemaFault(child, here);
        if (!fault.isEmpty())
            return fault;
    }
    return QString();
}

QString schemaFault(const QString &definition)
{
    QXmlStreamReader xml(definition);
    if (!xml.readNextStartElement())
        return QStringLiteral("no element: %1").arg(xml.errorString());
    const Node root = readNode(xml);
    if (xml.hasError())
        return xml.errorString();
    return schemaFault(root, QString());
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
    void followsTheSchema_data();
    void followsTheSchema();
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

void TestSilaFeatures::followsTheSchema_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<bool>("valid");

    for (const QString &feature : SilaFeatures::identifiers())
        QTest::newRow(qPrintable(feature)) << SilaFeatures::definition(feature) << true;

    // The check itself must see what a validating client sees.
    const QString dosing =
        SilaFeatures::definition(QStringLiteral("org.dosetta/dispensing/DosingPumpController/v1"));
    QString swapped = dosing;
    const int minimum = swapped.indexOf(QStringLiteral("<MinimalInclusive>"));
    const int maximum = swapped.indexOf(QStringLiteral("<MaximalInclusive>"));
    QVERIFY(minimum > 0 && maximum > 0);
    if (maximum < minimum) {
        // Maximal before minimal is the schema's order; put the minimal first.
        const int end = swapped.indexOf(QStringLiteral("</MinimalInclusive>"), minimum) + 19;
        const QString part = swapped.mid(minimum, end - minimum);
        swapped.remove(minimum, end - minimum);
        swapped.insert(maximum, part);
    }
    QTest::newRow("constraints out of order") << swapped << false;
    QString observable = dosing;
    observable.replace(QStringLiteral("<Observable>Yes</Observable>"),
                       QStringLiteral("<Observable>yes</Observable>"));
    QTest::newRow("observable in lower case") << observable << false;
    QString response = dosing;
    const int first = response.indexOf(QStringLiteral("<Response>"));
    const int parameter = response.indexOf(QStringLiteral("<Parameter>"));
    QVERIFY(first > 0 && parameter > 0 && parameter < first);
    response.insert(parameter, QStringLiteral("<DefinedExecutionErrors><Identifier>X</Identifier>"
                                              "</DefinedExecutionErrors>"));
    QTest::newRow("errors before the parameters") << response << false;
}

void TestSilaFeatures::followsTheSchema()
{
    QFETCH(QString, definition);
    QFETCH(bool, valid);

    const QString fault = schemaFault(definition);
    if (valid)
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    else
        QVERIFY(!fault.isEmpty());

    // With the standard's own schema at hand, xmllint has the last word.
    const QString schema = qEnvironmentVariable("DOSETTA_SILA_SCHEMA");
    if (schema.isEmpty() || !valid)
        return;
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(definition.toUtf8());
    file.flush();
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"),
                  {QStringLiteral("--noout"), QStringLiteral("--schema"), schema, file.fileName()});
    QVERIFY(xmllint.waitForFinished(30000));
    QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(TestSilaFeatures)
#include "tst_silafeatures.moc"
