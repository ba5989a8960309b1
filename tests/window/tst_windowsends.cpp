// What reaches the simulated pump when the operator only passes through the window's fields:
// nothing. The program runs as for service (the Factory tab is shown), so every tab is covered.

#include "PumpServer.h"
#include "WindowRig.h"
#include "platform/InstanceSettings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTranslator>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Endless cycles, a pause of 2 min 5 s and a dispense time of 1 min 30 s, as the fields for
// cycles, pause and dispense time (min, s) show them.
const QStringList presets{"DN01000", "DB00125", "DT00013000"};
const QStringList presetFields{"lineEditCycles", "lineEditBreakTimeMin", "lineEditBreakTimeSec",
                               "lineEditTimeMin", "lineEditTimeSec"};
const QString presetShown = QStringLiteral("INF 2 5 01 30");

// The Factory tab's title, translated in the context of the screen's texts only.
struct FactoryInGerman : QTranslator
{
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *text, const char *, int) const override
    {
        const bool factory = qstrcmp(context, "mainScreen") == 0 && qstrcmp(text, "Factory") == 0;
        return factory ? QStringLiteral("Werk") : QString();
    }
};

} // namespace

class tst_WindowSends : public QObject
{
    Q_OBJECT

private slots:
    void tabbingThroughEveryFieldSendsNothing();

private:
    QString fieldTexts() const;

    std::unique_ptr<fluxosim::PumpServer> pump;
    std::unique_ptr<WindowRig> rig; // let go of the line before the pump hangs up
};

QString tst_WindowSends::fieldTexts() const
{
    QStringList texts;
    for (const QString &name : presetFields)
        texts << rig->window.findChild<QLineEdit *>(name)->text();
    return texts.join(QLatin1Char(' '));
}

void tst_WindowSends::tabbingThroughEveryFieldSendsNothing()
{
    fluxosim::ServerOptions options;
    options.fast = true;
    pump = std::make_unique<fluxosim::PumpServer>(options);
    QVERIFY(pump->start());
    const QString refused = WindowRig::preset(pump->devicePath(), presets);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    InstanceSettings().setAddress(1);
    FactoryInGerman german;
    QCoreApplication::installTranslator(&german);
    rig = std::make_unique<WindowRig>();
    QCoreApplication::removeTranslator(&german);
    rig->link.setCommPortName(QString::fromStdString(pump->devicePath()));
    rig->window.startUp();
    rig->window.startUpdateTimer();
    QTest::mouseClick(rig->find<QAbstractButton>("buttonAdvanced"), Qt::LeftButton);
    rig->window.show();
    QApplication::setActiveWindow(&rig->window);
    QVERIFY(QTest::qWaitForWindowActive(&rig->window));
    auto *tabs = rig->find<QTabWidget>("TabsExtendedSettings");
    QCOMPARE(tabs->tabText(tabs->indexOf(rig->find<QWidget>("TabFactory"))), QString("Werk"));
    QTRY_COMPARE_WITH_TIMEOUT(fieldTexts(), presetShown, 8000);
    pump->clearLog();

    // Each page in turn: Tab until every field, list and box on it and on the main screen has
    // had the focus, while the display and the queue run.
    QStringList visited;
    const auto track =
        connect(qApp, &QApplication::focusChanged, this, [&visited](QWidget *, QWidget *now) {
            if (now != nullptr)
                visited << now->objectName();
        });
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QStringList missing;
        for (QWidget *w : rig->window.findChildren<QWidget *>()) {
            if ((qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                 qobject_cast<QCheckBox *>(w)) &&
                w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                missing << w->objectName();
        }
        rig->find<QWidget>("lineEditVolume")->setFocus(Qt::TabFocusReason);
        for (int press = 0; press < 300 && !missing.isEmpty(); ++press) {
            visited.clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::qWait(5);
            for (const QString &name : visited)
                missing.removeAll(name);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(tabs->tabText(page) + ": " + missing.join(' ')));
    }
    disconnect(track);
    rig->find<QWidget>("buttonAdvanced")->setFocus(Qt::TabFocusReason);

    QTest::qWait(2500);   // several display updates and refresh ticks
    QStringList settings; // frames that are not queries
    for (const fluxosim::LogEntry &entry : pump->log()) {
        if (entry.kind == fluxosim::LogEntry::Kind::Received && entry.bytes.size() > 4 &&
            entry.bytes[3] != '?')
            settings << QString::fromStdString(entry.bytes.substr(1, entry.bytes.find('\x03') - 1));
    }
    QCOMPARE(settings, QStringList());
    // Still shown once any answer lost on a busy machine has been asked again.
    QTRY_COMPARE_WITH_TIMEOUT(fieldTexts(), presetShown, 8000);
}

// Started as for service: the access code opens the Factory tab.
int main(int argc, char **argv)
{
    std::vector<char *> arguments(argv, argv + argc);
    char access[] = "--QZW service gate";
    arguments.insert(arguments.begin() + 1, access);
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    tst_WindowSends test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsends.moc"
