#include "ui/OrphanPrompt.h"

#include "journal/JournalEntry.h"
#include "ui/JournalWords.h"
#include "ui/ShownNumber.h"

#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

OrphanPrompt::OrphanPrompt(QWidget *parentWindow, PumpCore &core, const ProgramRunner &runner)
    : QObject(parentWindow)
    , window(parentWindow)
    , orphans(core, runner, {QLatin1String(JournalEntry::Origin::Window)},
              JournalEntry::localUser(), true)
{
    connect(&orphans, &OrphanRuns::found, this, &OrphanPrompt::ask);
}

QString OrphanPrompt::question(const QVector<JournalRun> &runs, const ProcessSample &sample)
{
    const JournalEntry &start = runs.last().start;
    const QString delivered =
        sample.volumeDelivered ? tr("%1 ml delivered so far")
                                     .arg(ShownNumber::number(*sample.volumeDelivered / 1000.0, 3))
                               : tr("the volume delivered so far is not known");
    const QString state =
        sample.runState == ProcessSample::RunState::Unknown
            ? tr("The pump's state cannot be read")
            : tr("The pump is %1")
                  .arg(JournalWords::shown(ProcessSample::runStateText(sample.runState)));
    return tr("The run \"%1\", started from a window of yours at %2, never ended: that window "
              "(process %3) is gone.\n\n%4; %5.\n\nStop the pump?")
        .arg(start.fields.value(QStringLiteral("program")).toString(),
             QDateTime::fromMSecsSinceEpoch(start.timeMs)
                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
             QString::number(start.fields.value(QStringLiteral("pid")).toVariant().toLongLong()),
             state, delivered);
}

void OrphanPrompt::ask(const QVector<JournalRun> &runs, const ProcessSample &sample)
{
    // Nothing to choose: the run is closed as it stands.
    if (sample.runState == ProcessSample::RunState::Stopped) {
        orphans.close(false);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Run left open"), question(runs, sample),
                                QMessageBox::NoButton, window);
    QPushButton *stop = box->addButton(tr("Stop"), QMessageBox::AcceptRole);
    box->addButton(tr("Leave it running"), QMessageBox::RejectRole);
    box->setDefaultButton(stop);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [this, box, stop] { orphans.close(box->clickedButton() == stop); });
    box->open();
}
