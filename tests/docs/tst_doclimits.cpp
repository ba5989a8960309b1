#include "pump/KeyTable.h"
#include "service/ServiceConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

using Pump::KeyTable;

namespace {

// One range a document states for a key, in the key's unit.
struct Statement
{
    QString key;
    double minimum = 0;
    double maximum = 0;
    int line = 0;
};

QString sourceFile(const QString &name)
{
    return QStringLiteral(DOSETTA_SOURCE_DIR "/") + name;
}

QStringList lines(const QString &name)
{
    QFile file(sourceFile(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

// A number with the given decimal separator, standing alone, so that a clock ("00:00:00") never
// reads as a range.
QString numberWith(QChar decimal)
{
    const QString d = QRegularExpression::escape(QString(decimal));
    return QStringLiteral("(?<![0-9%1:])([0-9]+(?:%1[0-9]+)?)(?![0-9:]|%1[0-9])").arg(d);
}
const QString number = numberWith(QLatin1Char('.'));

// Two numbers and nothing else. German pages write "1,0": an English "1.0" there reads as two
// numbers, so it fails too.
bool twoNumbers(const QString &text, Statement *into, QChar decimal = QLatin1Char('.'))
{
    QVector<double> found;
    auto it = QRegularExpression(numberWith(decimal)).globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured(1).replace(decimal, QLatin1Char('.')).toDouble());
    if (found.size() != 2)
        return false;
    into->minimum = found[0];
    into->maximum = found[1];
    return true;
}

// Help pages: <span class="limits" data-key="KEY">MIN &ndash; MAX unit</span>, possibly over two
// lines.
QVector<Statement> htmlSpans(const QStringList &text, QChar decimal)
{
    static const QRegularExpression span(
        QStringLiteral("<span class=\"limits\" data-key=\"([a-z0-9-]+)\">([^<]*)</span>"));
    QVector<Statement> found;
    for (int i = 0; i < text.size(); ++i) {
        const QString joined =
            text[i] + (i + 1 < text.size() ? QStringLiteral(" ") + text[i + 1] : QString());
        auto it = span.globalMatch(joined);
        while (it.hasNext()) {
            const auto m = it.next();
            if (m.capturedStart() >= text[i].size())
                break; // starts on the next line: counted there
            Statement s{m.captured(1), 0, 0, i + 1};
            if (!twoNumbers(m.captured(2), &s, decimal))
                s.minimum = s.maximum = qQNaN();
            found.append(s);
        }
    }
    return found;
}

// The keys' tables (README and the network help page): key, output name, "MIN - MAX unit".
QVector<Statement> keyTables(const QStringList &text)
{
    static const QRegularExpression row(
        QStringLiteral("^(?:\\| `([a-z0-9-]+)` \\|[^|]*\\| ([^|]*)\\|"
                       "|<tr><td><code>([a-z0-9-]+)</code></td><td>.*?</td><td>([^<]*)</td>)"));
    static const QRegularExpression range(
        QStringLiteral("^([0-9]+(?:\\.[0-9]+)?) - ([0-9]+(?:\\.[0-9]+)?)(?![0-9.:])"));
    QVector<Statement> found;
    for (int i = 0; i < text.size(); ++i) {
        const auto m = row.match(text[i]);
        if (!m.hasMatch())
            continue;
        const QString key = m.captured(1) + m.captured(3);
        const auto r = range.match((m.captured(2) + m.captured(4)).trimmed());
        if (r.hasMatch())
            found.append({key, r.captured(1).toDouble(), r.captured(2).toDouble(), i + 1});
    }
    return found;
}

// The manual's keys: ".BR key " (output " name )" and the range on the line below.
QVector<Statement> manKeys(const QStringList &text)
{
    static const QRegularExpression head(QStringLiteral("^\\.BR ([a-z0-9\\\\-]+) \" \\(output \""));
    static const QRegularExpression range(number + QStringLiteral("\\\\\\(en") + number);
    QVector<Statement> found;
    for (int i = 0; i + 1 < text.size(); ++i) {
        const auto m = head.match(text[i]);
        const auto r = range.match(text[i + 1]);
        if (m.hasMatch() && r.hasMatch())
            found.append({m.captured(1).remove(QLatin1Char('\\')), r.captured(1).toDouble(),
                          r.captured(2).toDouble(), i + 2});
    }
    return found;
}

// The simulator's table: what each setting accepts in the pump's own units.
QVector<Statement> simulatorTable(const QStringList &text)
{
    const QMap<QString, QPair<QString, double>> settings{
        {QStringLiteral("RV"), {QStringLiteral("flow-rate"), 1000}},
        {QStringLiteral("DV"), {QStringLiteral("volume"), 1000}},
        {QStringLiteral("DB"), {QStringLiteral("break-time"), 1}},
        {QStringLiteral("DN"), {QStringLiteral("cycles"), 1}},
        {QStringLiteral("CF"), {QStringLiteral("calibration-volume"), 1000}},
        {QStringLiteral("CH"), {QStringLiteral("calibration-percent"), 100}},
        {QStringLiteral("LC"), {QStringLiteral("contrast"), 1}},
        {QStringLiteral("AD"), {QStringLiteral("address"), 1}}};
    static const QRegularExpression row(
        QStringLiteral("^\\s*\\| ([A-Z]{2}!?) [^|]*\\| ([0-9]+)–([0-9]+)"));
    QVector<Statement> found;
    for (int i = 0; i < text.size(); ++i) {
        const auto m = row.match(text[i]);
        if (!m.hasMatch() || !settings.contains(m.captured(1)))
            continue;
        const auto &[key, scale] = settings[m.captured(1)];
        found.append(
            {key, m.captured(2).toDouble() / scale, m.captured(3).toDouble() / scale, i + 1});
    }
    return found;
}

QVector<Statement> statements(const QString &document, const QString &form)
{
    const QStringList text = lines(document);
    if (form == QLatin1String("span"))
        return htmlSpans(text, QLatin1Char('.'));
    if (form == QLatin1String("span-de"))
        return htmlSpans(text, QLatin1Char(','));
    if (form == QLatin1String("keys"))
        return keyTables(text);
    if (form == QLatin1String("man"))
        return manKeys(text);
    return simulatorTable(text);
}

} // namespace

class tst_DocLimits : public QObject
{
    Q_OBJECT

private slots:
    // Every range a document states in its marked form is the key table's, and the keys each
    // document is known to state are all there (a marker lost in an edit fails too).
    void limits_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("keys");
        const QStringList numbers{"flow-rate",           "volume",   "cycles", "calibration-volume",
                                  "calibration-percent", "contrast", "address"};
        QTest::newRow("README keys") << "README.md"
                                     << "keys" << numbers;
        QTest::newRow("network help keys") << "doc/network.html"
                                           << "keys" << numbers;
        QTest::newRow("dosetta-cli(1) keys")
            << "doc/man/dosetta-cli.1"
            << "man" << QStringList{"flow-rate",           "volume",   "calibration-volume",
                                    "calibration-percent", "contrast", "address"};
        QTest::newRow("simulator's table")
            << "README.md"
            << "simulator" << QStringList{"volume",   "break-time", "cycles", "calibration-percent",
                                          "contrast", "address"};
        QTest::newRow("set-point help") << "doc/flowrate.html"
                                        << "span" << QStringList{"flow-rate", "volume"};
        QTest::newRow("mode help") << "doc/modeselect.html"
                                   << "span" << QStringList{"flow-rate", "volume"};
        QTest::newRow("calibration volume help") << "doc/calibvolume.html"
                                                 << "span" << QStringList{"calibration-volume"};
        QTest::newRow("calibration percent help") << "doc/calibpercent.html"
                                                  << "span" << QStringList{"calibration-percent"};
        QTest::newRow("communication address help") << "doc/commaddress.html"
                                                    << "span" << QStringList{"address"};
        QTest::newRow("pump address help") << "doc/pumpaddress.html"
                                           << "span" << QStringList{"address"};
        QTest::newRow("break time help") << "doc/breaktime.html"
                                         << "span" << QStringList{"break-time"};
        // The German help states the same limits, with a decimal comma.
        const QVector<QPair<const char *, QStringList>> german{
            {"flowrate", {"flow-rate", "volume"}},
            {"modeselect", {"flow-rate", "volume"}},
            {"calibvolume", {"calibration-volume"}},
            {"calibpercent", {"calibration-percent"}},
            {"commaddress", {"address"}},
            {"pumpaddress", {"address"}},
            {"breaktime", {"break-time"}}};
        for (const auto &[page, keys] : german)
            QTest::newRow(qPrintable(QStringLiteral("German %1").arg(QLatin1String(page))))
                << QStringLiteral("doc/de/%1.html").arg(QLatin1String(page)) << "span-de" << keys;
    }
    void limits()
    {
        QFETCH(QString, document);
        QFETCH(QString, form);
        QFETCH(QStringList, keys);
        const QVector<Statement> found = statements(document, form);
        for (const Statement &s : found) {
            const KeyTable::Key *key = KeyTable::find(s.key);
            const QString where = QStringLiteral("%1:%2 (%3)").arg(document).arg(s.line).arg(s.key);
            QVERIFY2(key, qPrintable(where + QStringLiteral(": no such key")));
            QVERIFY2(s.minimum == key->minimum && s.maximum == key->maximum,
                     qPrintable(QStringLiteral("%1 states %2 - %3, the program takes %4 - %5")
                                    .arg(where)
                                    .arg(s.minimum)
                                    .arg(s.maximum)
                                    .arg(key->minimum)
                                    .arg(key->maximum)));
        }
        for (const QString &key : keys) {
            const bool stated = std::any_of(found.begin(), found.end(),
                                            [&](const Statement &s) { return s.key == key; });
            QVERIFY2(stated, qPrintable(document + QStringLiteral(" no longer states ") + key));
        }
    }

    // The German help has every page of the English one, under the same name.
    void germanPageExists_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : QDir(sourceFile(QStringLiteral("doc")))
                                       .entryList({QStringLiteral("*.html")}, QDir::Files))
            QTest::newRow(qPrintable(name)) << name;
    }
    void germanPageExists()
    {
        QFETCH(QString, name);
        QVERIFY2(QFileInfo::exists(sourceFile(QStringLiteral("doc/de/") + name)),
                 qPrintable(QStringLiteral("doc/de/") + name + QStringLiteral(" is missing")));
    }

    // A German page's links lead to pages of the help: both collections hold the English names.
    void germanLinksResolve_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString &name : QDir(sourceFile(QStringLiteral("doc/de")))
                                       .entryList({QStringLiteral("*.html")}, QDir::Files))
            QTest::newRow(qPrintable(name)) << name;
    }
    void germanLinksResolve()
    {
        QFETCH(QString, name);
        static const QRegularExpression link(
            QStringLiteral("href=\"qthelp://halvo\\.dosetta\\.1\\.0/doc/([^\"#]*)"));
        const QString text = lines(QStringLiteral("doc/de/") + name).join(QLatin1Char('\n'));
        auto it = link.globalMatch(text);
        QVERIFY2(it.hasNext(), "a page leads on to related pages");
        while (it.hasNext()) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFileInfo::exists(sourceFile(QStringLiteral("doc/") + target)),
                     qPrintable(name + QStringLiteral(" -> ") + target));
        }
    }

    // The examples the package ships are files the service reads, with every pump complete.
    void exampleConfigurations_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("pumps");
        QTest::newRow("one pump") << "doc/examples/one-pump.conf" << QStringList{QString()};
        QTest::newRow("two pumps, MQTT and SiLA")
            << "doc/examples/two-pumps.conf" << QStringList{"lab3", "lab4"};
    }
    void exampleConfigurations()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, pumps);
        ServiceConfig config;
        QString error;
        QVERIFY2(ServiceConfig::read(sourceFile(file), &config, &error), qPrintable(error));
        QVector<PumpPlan> plans;
        QVERIFY2(config.plans(QString(), {}, &plans, &error), qPrintable(error));
        QStringList names;
        for (const PumpPlan &plan : plans)
            names << plan.name;
        QCOMPARE(names, pumps);
    }
};

QTEST_GUILESS_MAIN(tst_DocLimits)
#include "tst_doclimits.moc"
