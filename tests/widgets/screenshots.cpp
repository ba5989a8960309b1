// Renders the window to PNG files for a visual check: the compact screen and every tab of the
// advanced screen. Run under a real X server (Xvfb) for faithful fonts and styles:
//   xvfb-run -a -s "-screen 0 1600x1000x24" dosetta_screenshots <folder> [suffix]
// With QT_SCALE_FACTOR=2 the same run shows the window at 200 %.

#include "BusinessLogic/LoggingCommandStack.h"
#include "BusinessLogic/SetVolume.h"
#include "BusinessLogic/Start.h"
#include "program/ProgramRunner.h"
#include "pumpcore/PumpCore.h"
#include "serial/Communication.h"
#include "ui/JournalTab.h"
#include "ui/mainForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

void settle(QWidget &window)
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(40);
    }
    window.update();
    QApplication::processEvents();
}

bool save(QWidget &window, const QDir &dir, const QString &name, const QString &suffix)
{
    settle(window);
    const QString path = dir.filePath(name + suffix + ".png");
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void centreAtMinimum(QWidget &window)
{
    window.adjustSize();
    window.resize(window.minimumSizeHint().expandedTo(window.minimumSize()));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dosetta_screenshots <folder> [suffix]\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    Communication link;
    PumpCore core{PumpCore::Options{false}};
    BusinessLogic::LoggingCommandStack &stack = core.stack();
    BusinessLogic::Start start(&link);
    BusinessLogic::SetVolume setVolume(&link);
    ProgramRunner runner{core};
    mainForm window(core, runner);

    // A few exchanges with the port closed: the frames as built, empty receptions.
    stack.push(&start, 0, true);
    stack.push(&setVolume, 12500, true);
    stack.ExecuteCommand();
    stack.ExecuteCommand();

    auto *tabs = window.findChild<QTabWidget *>("TabsExtendedSettings");
    auto *factory = window.findChild<QWidget *>("TabFactory");
    if (!tabs || !factory)
        return 1;

    bool ok = true;
    window.show();
    tabs->hide();
    centreAtMinimum(window);
    ok &= save(window, dir, "compact", suffix);

    tabs->show();
    tabs->setCurrentWidget(window.findChild<QWidget *>("TabStatus"));
    centreAtMinimum(window);
    tabs->addTab(factory, "Factory");
    // Named after the page, so a tab added or moved cannot shift the names.
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        const QString name = tabs->tabText(i).toLower().remove(QLatin1Char('/'));
        ok &= save(window, dir, QString("advanced-%1").arg(name), suffix);
    }

    // The journal's other view.
    if (auto *journal = window.findChild<JournalTab *>()) {
        tabs->setCurrentWidget(journal);
        journal->showView(JournalLoader::View::Changes);
        ok &= save(window, dir, "advanced-journal-changes", suffix);
    }

    // A long list open, with its scroll bar.
    auto *percent = window.findChild<QComboBox *>("comboCalPercent");
    if (percent) {
        tabs->setCurrentIndex(0);
        percent->setCurrentIndex(200);
        percent->showPopup();
        settle(window);
        // The whole screen: the popup is a window of its own.
        const QRect area = window.frameGeometry().united(percent->view()->window()->geometry());
        QGuiApplication::primaryScreen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(dir.filePath("list" + suffix + ".png"));
        percent->hidePopup();
    }

    // The run-mode menu open under its button.
    tabs->setCurrentIndex(0);
    auto *mode = window.findChild<QPushButton *>("buttonMode");
    if (mode && mode->menu()) {
        mode->menu()->popup(mode->mapToGlobal(QPoint(0, mode->height())));
        settle(window);
        const QString path = dir.filePath("menu" + suffix + ".png");
        mode->menu()->grab().save(path);
        mode->menu()->hide();
    }
    return ok ? 0 : 1;
}
