#include "ui/ServiceReminder.h"

#include "journal/Journal.h"
#include "journal/JournalEntry.h"
#include "journal/JournalReader.h"
#include "pumpcore/PumpCore.h"
#include "ui/FeedbackMarks.h"
#include "ui/PumpStateLine.h"
#include "ui/ServiceThresholds.h"
#include "ui/StyleSheets.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

ServiceReminder::ServiceReminder(PumpCore &pumpCore, QLabel *feedbackLabel, PumpStateLine *state,
                                 QObject *parent)
    : QObject(parent)
    , core(pumpCore)
    , dueMark(FeedbackMarks::add(feedbackLabel, QString(), "labelServiceDue"))
    , stateLine(state)
{
    if (dueMark)
        dueMark->setStyleSheet(StyleSheets::mark(StyleSheets::failedMarkColour));
    if (Journal *journal = core.journal()) {
        // The journal's thread reports each entry once it is in the file: a run's end or a
        // service changes the totals, nothing else does.
        connect(journal, &Journal::written, this, [this](const JournalEntry &entry) {
            if ((entry.kind == QLatin1String(JournalEntry::Kind::RunEnd) ||
                 entry.kind == QLatin1String(JournalEntry::Kind::Service)) &&
                entry.pump == core.pumpId())
                refresh();
        });
    }
    // Another port or address is another pump.
    connect(&core, &PumpCore::linkStateChanged, this, [this]() {
        if (core.pumpId() != current.pump)
            refresh();
    });
    refresh();
}

QString ServiceReminder::dueText(const JournalTotals &totals,
                                 const JournalTotals::Thresholds &limits)
{
    if (!totals.serviceDue(limits))
        return QString();
    // Short, beside the feedback line of the compact screen; the tool tip and the Service tab
    // give the thresholds.
    const QLocale locale;
    QStringList reached;
    if (limits.volumeMl > 0 && totals.sinceServiceVolumeMl >= limits.volumeMl)
        reached << QCoreApplication::translate("mainScreen", "%1 ml")
                       .arg(locale.toString(totals.sinceServiceVolumeMl, 'f', 0));
    if (limits.hours > 0 && totals.sinceServiceHours >= limits.hours)
        reached << QCoreApplication::translate("mainScreen", "%1 h")
                       .arg(locale.toString(totals.sinceServiceHours, 'f', 1));
    return QCoreApplication::translate("mainScreen", "SERVICE DUE: %1")
        .arg(reached.join(QStringLiteral(", ")));
}

QString ServiceReminder::dueDetail(const JournalTotals &totals,
                                   const JournalTotals::Thresholds &limits)
{
    const QLocale locale;
    QStringList lines;
    if (limits.volumeMl > 0)
        lines << QCoreApplication::translate("mainScreen", "%1 of %2 ml since the last service")
                     .arg(locale.toString(totals.sinceServiceVolumeMl, 'f', 1),
                          locale.toString(limits.volumeMl, 'f', 1));
    if (limits.hours > 0)
        lines << QCoreApplication::translate("mainScreen",
                                             "%1 of %2 running hours since the last service")
                     .arg(locale.toString(totals.sinceServiceHours, 'f', 1),
                          locale.toString(limits.hours, 'f', 1));
    lines << QCoreApplication::translate("mainScreen", "Record the service on the Service tab.");
    return lines.join(QLatin1Char('\n'));
}

void ServiceReminder::refresh()
{
    const QString pump = core.pumpId();
    JournalTotals read;
    read.pump = pump;
    Journal *journal = core.journal();
    if (journal != nullptr && QFileInfo::exists(journal->path())) {
        JournalReader reader(journal->path());
        if (reader.open()) {
            const QVector<JournalTotals> list = reader.totals(pump);
            if (!list.isEmpty())
                read = list.first();
        }
    }
    current = read;
    limits = ServiceThresholds::load(pump);
    show();
}

void ServiceReminder::setThresholds(const JournalTotals::Thresholds &wanted)
{
    ServiceThresholds::store(core.pumpId(), wanted);
    limits = ServiceThresholds::load(core.pumpId());
    show();
}

void ServiceReminder::show()
{
    const QString due = dueText(current, limits);
    if (dueMark) {
        dueMark->setText(due);
        dueMark->setToolTip(due.isEmpty() ? QString() : dueDetail(current, limits));
        dueMark->setVisible(!due.isEmpty());
    }
    if (stateLine)
        stateLine->setNote(
            due.isEmpty() ? QString() : QCoreApplication::translate("mainScreen", "SERVICE DUE"));
    emit updated(current, limits);
}
