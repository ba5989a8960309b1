// The window under German, built as the program builds it: no shown text left English, numbers
// with the decimal comma, Qt's own buttons German; and how the language is chosen.

#include "app/CommandLine.h"
#include "app/ProgramGraph.h"
#include "program/ProgramFile.h"
#include "pump/KeyTable.h"
#include "pump/TypedNumber.h"
#include "remote/BridgeOptions.h"
#include "remote/BridgeSession.h"
#include "remote/IdClaim.h"
#include "ui/JournalRows.h"
#include "ui/JournalWords.h"
#include "ui/ShownBridgeText.h"
#include "ui/ShownNumber.h"
#include "ui/ShownProgramText.h"
#include "ui/ShownRefusal.h"
#include "ui/WindowLanguage.h"
#include "ui/mainForm.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>
#include <optional>

namespace {

// English source -> German, for the texts whose German differs.
QHash<QString, QString> changedTexts()
{
    QHash<QString, QString> changed;
    QFile file(QStringLiteral(DOSETTA_TS_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return changed;
    QXmlStreamReader xml(&file);
    QString source;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString german = xml.readElementText();
            if (!german.isEmpty() && german != source)
                changed.insert(source, german);
        } else if (xml.name() != QLatin1String("TS") && xml.name() != QLatin1String("context") &&
                   xml.name() != QLatin1String("message")) {
            xml.skipCurrentElement();
        }
    }
    return changed;
}

using Texts = QVector<QPair<QString, QString>>; // where, text

Texts textsOf(const QString &kind, QWidget *window)
{
    Texts texts;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>() << window;
    for (QWidget *w : widgets) {
        const QString where = w->objectName();
        if (kind == QLatin1String("labels")) {
            if (auto *l = qobject_cast<QLabel *>(w))
                texts << qMakePair(where, l->text());
        } else if (kind == QLatin1String("buttons")) {
            if (auto *b = qobject_cast<QAbstractButton *>(w))
                texts << qMakePair(where, b->text());
            if (auto *p = qobject_cast<QPushButton *>(w); p != nullptr && p->menu() != nullptr) {
                for (QAction *a : p->menu()->actions())
                    texts << qMakePair(where, a->text());
            }
        } else if (kind == QLatin1String("tab titles")) {
            if (auto *t = qobject_cast<QTabWidget *>(w)) {
                for (int i = 0; i < t->count(); ++i)
                    texts << qMakePair(where, t->tabText(i)) << qMakePair(where, t->tabToolTip(i));
            }
        } else if (kind == QLatin1String("tool tips")) {
            texts << qMakePair(where, w->toolTip());
        } else if (kind == QLatin1String("group boxes")) {
            if (auto *g = qobject_cast<QGroupBox *>(w))
                texts << qMakePair(where, g->title());
        } else if (kind == QLatin1String("placeholders")) {
            if (auto *e = qobject_cast<QLineEdit *>(w))
                texts << qMakePair(where, e->placeholderText());
        } else if (kind == QLatin1String("list entries")) {
            if (auto *c = qobject_cast<QComboBox *>(w)) {
                for (int i = 0; i < c->count(); ++i)
                    texts << qMakePair(where, c->itemText(i));
            }
        } else if (kind == QLatin1String("table headers")) {
            auto *v = qobject_cast<QAbstractItemView *>(w);
            if (v != nullptr && v->model() != nullptr) {
                for (int i = 0; i < v->model()->columnCount(); ++i)
                    texts << qMakePair(where, v->model()->headerData(i, Qt::Horizontal).toString());
            }
        } else if (kind == QLatin1String("window title")) {
            if (w == window)
                texts << qMakePair(where, w->windowTitle());
        }
    }
    return texts;
}

} // namespace

class tst_GermanWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void theHelpSeesGerman();
    void nothingLeftEnglish_data();
    void nothingLeftEnglish();
    void qtDialogsInGerman();
    void listNumbersWithComma();
    void shownNumbers_data();
    void shownNumbers();
    void typedNumbers_data();
    void typedNumbers();
    void refusals_data();
    void refusals();
    void parsedRefusals_data();
    void parsedRefusals();
    void journalWords();
    void programTexts_data();
    void programTexts();
    void programFileTexts_data();
    void programFileTexts();
    void bridgeTexts_data();
    void bridgeTexts();
    void commandLine_data();
    void commandLine();
    void storedChoice();

private:
    std::unique_ptr<WindowLanguage> language;
    std::unique_ptr<ProgramGraph> program;
    QHash<QString, QString> changed;
};

void tst_GermanWindow::initTestCase()
{
    changed = changedTexts();
    QVERIFY(changed.size() > 200);
    language = std::make_unique<WindowLanguage>(QStringLiteral("de"));
    QVERIFY2(language->translated(), "bin/translations/dosetta_de.qm was not loaded");
    program = std::make_unique<ProgramGraph>(*qobject_cast<QApplication *>(qApp));
    // What the display writes before any pump answers is shown too.
    program->startup.window()->triggerUpdateValues();
}

void tst_GermanWindow::cleanupTestCase()
{
    program.reset();
    language.reset();
}

void tst_GermanWindow::theHelpSeesGerman()
{
    // The help picks its collection by the default locale, set before the window is made.
    QCOMPARE(QLocale().language(), QLocale::German);
    QCOMPARE(QLocale().decimalPoint(), QLatin1Char(','));
}

void tst_GermanWindow::nothingLeftEnglish_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("someGerman"); // the walk found German texts of this kind
    for (const char *kind : {"labels", "buttons", "tab titles", "tool tips", "group boxes",
                             "list entries", "table headers"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << true;
    // Only the broker's address as an example, and the window's caption: no words.
    QTest::newRow("placeholders") << "placeholders" << false;
    QTest::newRow("window title") << "window title" << false;
}

void tst_GermanWindow::nothingLeftEnglish()
{
    QFETCH(QString, kind);
    QFETCH(bool, someGerman);
    const QSet<QString> german(changed.cbegin(), changed.cend());
    QStringList english;
    int inGerman = 0;
    for (const auto &[where, text] : textsOf(kind, program->startup.window())) {
        inGerman += german.contains(text) ? 1 : 0;
        // Texts a label joins from several translated parts still match a part trimmed.
        if (changed.contains(text) || changed.contains(text.trimmed()))
            english << where + QLatin1String(": ") + text;
    }
    QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1String(" | "))));
    if (someGerman)
        QVERIFY(inGerman > 0);
}

void tst_GermanWindow::qtDialogsInGerman()
{
    // Qt's own buttons come from qtbase_de.qm (qttranslations5-l10n).
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Abbrechen"));
}

void tst_GermanWindow::listNumbersWithComma()
{
    auto *percent =
        program->startup.window()->findChild<QComboBox *>(QStringLiteral("comboCalPercent"));
    QVERIFY(percent != nullptr);
    QCOMPARE(percent->itemText(0), QStringLiteral("80,0 %"));
    QCOMPARE(percent->itemText(percent->count() - 1), QStringLiteral("120,0 %"));
}

void tst_GermanWindow::shownNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("german");
    QTest::addColumn<QString>("english");
    QTest::newRow("set-point") << "12.50"
                               << "12,50"
                               << "12.50";
    QTest::newRow("volume with unit") << "0.500 ml"
                                      << "0,500 ml"
                                      << "0.500 ml";
    QTest::newRow("negative") << "-1.5"
                              << "-1,5"
                              << "-1.5";
    QTest::newRow("thousand, no grouping") << "1000.0"
                                           << "1000,0"
                                           << "1000.0";
    QTest::newRow("whole number") << "1000"
                                  << "1000"
                                  << "1000";
    QTest::newRow("cycles") << "INF"
                            << "INF"
                            << "INF";
    QTest::newRow("firmware") << "V1.23"
                              << "V1.23"
                              << "V1.23";
    QTest::newRow("address-like") << "10.0.0.1"
                                  << "10.0.0.1"
                                  << "10.0.0.1";
}

void tst_GermanWindow::shownNumbers()
{
    QFETCH(QString, text);
    QFETCH(QString, german);
    QFETCH(QString, english);
    QCOMPARE(ShownNumber::localized(text, QLocale(QLocale::German)), german);
    QCOMPARE(ShownNumber::localized(text, QLocale(QLocale::English)), english);
    // The default locale the window set: German, without a thousands separator.
    QCOMPARE(ShownNumber::number(1234.5, 1), QStringLiteral("1234,5"));
}

void tst_GermanWindow::typedNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QLocale::Language>("language");
    QTest::addColumn<double>("value"); // -1: refused
    QTest::newRow("comma, German") << "12,5" << QLocale::German << 12.5;
    QTest::newRow("point, German") << "12.5" << QLocale::German << 12.5;
    QTest::newRow("point, English") << "12.5" << QLocale::English << 12.5;
    QTest::newRow("comma, English") << "12,5" << QLocale::English << -1.0;
    QTest::newRow("grouped, German") << "1.000,5" << QLocale::German << -1.0;
    QTest::newRow("grouped, English") << "1,000.5" << QLocale::English << -1.0;
    QTest::newRow("two commas, German") << "1,000,5" << QLocale::German << -1.0;
}

void tst_GermanWindow::typedNumbers()
{
    QFETCH(QString, typed);
    QFETCH(QLocale::Language, language);
    QFETCH(double, value);
    const std::optional<double> read = Pump::TypedNumber::read(typed, QLocale(language));
    QCOMPARE(read.value_or(-1.0), value);
}

void tst_GermanWindow::refusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // empty: the value may go
    QTest::newRow("above, with a fraction") << "flow-rate"
                                            << "150,5"
                                            << "Durchfluss: 150,5 liegt über 100,0 ml/min";
    QTest::newRow("below") << "volume"
                           << "0"
                           << "Volumen: 0 liegt unter 0,1 ml";
    QTest::newRow("within") << "flow-rate"
                            << "12,5"
                            << "";
    QTest::newRow("grouped") << "volume"
                             << "1.000,5"
                             << "Volumen: „1.000,5“ ist keine Zahl (ohne "
                                "Tausendertrennzeichen schreiben)";
    QTest::newRow("nothing typed") << "volume"
                                   << " "
                                   << "Volumen: keine Zahl eingegeben";
}

void tst_GermanWindow::refusals()
{
    QFETCH(QString, key);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    const Pump::KeyTable::Key &k = Pump::KeyTable::key(key);
    const std::optional<double> value = Pump::TypedNumber::read(typed);
    const QString text =
        value ? ShownRefusal::outside(k, *value) : ShownRefusal::notANumber(key, typed);
    // The window's rule is the value layer's: the same values refused.
    QCOMPARE(text.isEmpty(), value && Pump::KeyTable::outside(k, *value).isEmpty());
    QCOMPARE(text, shown);
}

void tst_GermanWindow::parsedRefusals_data()
{
    // What the value layer refuses of a typed text, worded by the window.
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("cycles, not a number") << "cycles"
                                          << "many"
                                          << "Zyklen: „many“ ist keine Zahl, off oder inf";
    QTest::newRow("flow rate outside, its range worded")
        << "flow-rate"
        << "150.5"
        << "Durchfluss: 150,5 liegt außerhalb von 1,0 - 100,0 ml/min";
}

void tst_GermanWindow::parsedRefusals()
{
    QFETCH(QString, key);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    const Pump::KeyTable::Setting setting = Pump::KeyTable::parse(Pump::KeyTable::key(key), typed);
    QVERIFY(!setting.ok());
    QCOMPARE(ShownRefusal::parsed(setting.error), shown);
}

void tst_GermanWindow::journalWords()
{
    // Shown translated; a word the table does not know, as stored.
    QCOMPARE(JournalWords::shown(QStringLiteral("done")), QStringLiteral("fertig"));
    QCOMPARE(JournalWords::shown(QStringLiteral("window")), QStringLiteral("Fenster"));
    QCOMPARE(JournalWords::shown(QStringLiteral("something-new")), QStringLiteral("something-new"));
    // A run's stored reason is the runner's English; the Journal tab words it.
    JournalRun run;
    run.start.seq = 1;
    run.end.seq = 2;
    run.end.fields = {{"cause", "link-lost"}, {"reason", "the link was lost for more than 3 s"}};
    QVERIFY(JournalRows::run(run).cells.contains(
        QStringLiteral("Verbindung verloren: die Verbindung war länger als 3 s unterbrochen")));
    QCOMPARE(ShownProgramText::label(QStringLiteral("3.1 dose, pass 2/3, pass 1/4")),
             QStringLiteral("3.1 dose, Durchgang 2/3, Durchgang 1/4"));
}

void tst_GermanWindow::programTexts_data()
{
    // The runner's English as it writes it, and the window's German with the arguments filled.
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("shown");
    QTest::newRow("whole") << "stopped from outside the program"
                           << "von außerhalb des Programms gestoppt";
    QTest::newRow("argument worded too") << "the pump refused the flow rate"
                                         << "Durchfluss: von der Pumpe abgelehnt";
    QTest::newRow("argument kept") << "the link was lost for more than 3 s"
                                   << "die Verbindung war länger als 3 s unterbrochen";
    QTest::newRow("pump's flags kept") << "the pump reports an error: MOTOR, OVERPRESSURE"
                                       << "die Pumpe meldet einen Fehler: MOTOR, OVERPRESSURE";
    QTest::newRow("joined") << "stopped; the pump's final count could not be read"
                            << "gestoppt; der Endstand der Pumpe ließ sich nicht lesen";
    QTest::newRow("two arguments, decimal comma")
        << "1.5 ml at 0.01 ml/min takes longer than the longest dispense time"
        << "1,5 ml bei 0,01 ml/min dauern länger als die längste Dosierzeit";
    QTest::newRow("unknown, as it came") << "something new happened"
                                         << "something new happened";
    QTest::newRow("near a template, as it came") << "the pump refused"
                                                 << "the pump refused";
}

void tst_GermanWindow::programTexts()
{
    QFETCH(QString, english);
    QFETCH(QString, shown);
    QCOMPARE(ShownProgramText::shown(english), shown);
}

void tst_GermanWindow::programFileTexts_data()
{
    // A file's steps, and its errors then notes as the window shows them: the English comes
    // from the reader itself, so a reworded error that the window no longer knows fails here.
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("shortest wait, decimal comma")
        << QByteArray(R"([{"wait": {"for_s": 0.5}}])")
        << QStringList{"steps[0].wait.for_s: 0,5 liegt unter 1 s, der kürzesten Wartezeit, die "
                       "die Pumpe messen kann"};
    QTest::newRow("did you mean")
        << QByteArray(R"([{"dose": {"volume_ml": 1, "rate_ml_mn": 5}}])")
        << QStringList{"steps[0].dose.rate_ml_min: fehlt",
                       "steps[0].dose.rate_ml_mn: unbekanntes Feld (gemeint ist wohl "
                       "„rate_ml_min“?)"};
    QTest::newRow("pump's limit with its unit")
        << QByteArray(R"([{"dose": {"volume_ml": 1, "rate_ml_min": 150.5}}])")
        << QStringList{"steps[0].dose.rate_ml_min: 150,5 liegt über 100,0 ml/min"};
    QTest::newRow("quoted value, unknown step")
        << QByteArray(R"([{"dose": {"volume_ml": [], "rate_ml_min": 90}}, {"dosse": {}}])")
        << QStringList{"steps[0].dose.volume_ml: eine Liste ist keine Zahl",
                       "steps[1].dosse: unbekannter Schritt (gemeint ist wohl „dose“?); ein "
                       "Schritt ist einer von dose, run, ramp, wait, prime, prompt, repeat"};
    QTest::newRow("short dose note")
        << QByteArray(R"([{"dose": {"volume_ml": 0.1, "rate_ml_min": 100}}])")
        << QStringList{"steps[0].dose: 0,1 ml bei 100 ml/min dauerten keine halbe Sekunde; sie "
                       "laufen mit vollem Durchfluss"};
}

void tst_GermanWindow::programFileTexts()
{
    QFETCH(QByteArray, steps);
    QFETCH(QStringList, shown);
    const ProgramFile::Checked checked = ProgramFile::read(
        R"({"format": "dosetta-program/1", "name": "x", "steps": )" + steps + "}");
    QStringList texts;
    for (const QString &text : checked.errors + checked.notes)
        texts << ShownProgramText::checked(text);
    QCOMPARE(texts, shown);
}

void tst_GermanWindow::bridgeTexts_data()
{
    // The bridge's English from the bridge itself, and the network line's German.
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("shown");
    BridgeOptions options;
    options.broker = QStringLiteral("http://broker");
    QTest::newRow("not a broker address, argument kept")
        << options.problem()
        << "„http://broker“ ist keine Broker-Adresse wie mqtt://localhost:1883 oder "
           "mqtts://broker:8883";
    QTest::newRow("lost") << BridgeSession::lostText() << "die Verbindung zum Broker ging verloren";
    QTest::newRow("pump id taken, with no owner")
        << IdClaim::refusal(QStringLiteral("lab-1"), "online", std::nullopt, IdClaim::Owner())
        << "die Pumpen-ID „lab-1“ ist am Broker schon online, ohne Besitzereintrag, der sagt, "
           "wo (eine Brücke einer älteren Version oder ein zurückgebliebenes „online“, das eine "
           "gespeicherte leere Nachricht an ihr Availability-Topic löscht)";
    QTest::newRow("TLS library's words kept")
        << "TLS: the broker's certificate is not trusted (self-signed certificate)"
        << "TLS: dem Zertifikat des Brokers wird nicht vertraut (self-signed certificate)";
}

void tst_GermanWindow::bridgeTexts()
{
    QFETCH(QString, english);
    QFETCH(QString, shown);
    QCOMPARE(ShownBridgeText::shown(english), shown);
}

void tst_GermanWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("language");
    QTest::newRow("--lang de") << QStringList{"--lang", "de"} << true << "de";
    QTest::newRow("--lang=EN") << QStringList{"--lang=EN"} << true << "en";
    QTest::newRow("none") << QStringList{} << true << "";
    QTest::newRow("unknown") << QStringList{"--lang", "fr"} << false << "";
    QTest::newRow("missing") << QStringList{"--lang"} << false << "";
    QTest::newRow("empty") << QStringList{"--lang="} << false << "";
}

void tst_GermanWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, accepted);
    QFETCH(QString, language);
    const CommandLine line = CommandLine::parse(QStringList{"dosetta"} + arguments);
    QCOMPARE(line.action() == CommandLine::Action::Run, accepted);
    QCOMPARE(line.language(), language);
    if (!accepted)
        QVERIFY2(line.complaint().contains(QLatin1String("--lang")), qPrintable(line.complaint()));
}

void tst_GermanWindow::storedChoice()
{
    // The command line wins over the stored choice, which wins over the system.
    WindowLanguage::store(QStringLiteral("de"));
    QCOMPARE(WindowLanguage::choose(QString()), QStringLiteral("de"));
    QCOMPARE(WindowLanguage::choose(QStringLiteral("en")), QStringLiteral("en"));
    WindowLanguage::store(QStringLiteral("en"));
    QCOMPARE(WindowLanguage::choose(QString()), QStringLiteral("en"));
    WindowLanguage::store(QString());
    QCOMPARE(WindowLanguage::stored(), QString());
    QCOMPARE(WindowLanguage::choose(QString()), WindowLanguage::fromSystem());
}

QTEST_MAIN(tst_GermanWindow)
#include "tst_germanwindow.moc"
