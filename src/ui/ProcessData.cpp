#include "ui/ProcessData.h"

#include "BusinessLogic/CommandStack.h"
#include "GUI/RefreshTimer.h"
#include "recorder/RunStateJudge.h"
#include "serial/Communication.h"
#include "ui/ChartTab.h"
#include "ui/FeedbackMarks.h"
#include "ui/ProcessChartView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>

namespace {

// The window's texts share the form's translation context.
QString screenText(const char *text)
{
    return QCoreApplication::translate("mainScreen", text);
}

const QString recordingSheet = QStringLiteral(
    "color: white; background-color: rgb(220,0,0); font: bold 9pt \"Arial\"; padding: 1px 4px;");
const QString failedSheet = QStringLiteral("color: white; background-color: rgb(255,100,0); "
                                           "font: bold 9pt \"Arial\"; padding: 1px 4px;");

enum class Part { Whole, Start, End };

// Whether the link label's text holds the window's text there, in whichever translation context
// the window uses for it.
bool shows(const QString &label, const char *text, Part part)
{
    for (const char *context : {"mainForm", "mainScreen"}) {
        const QString t = QCoreApplication::translate(context, text);
        if ((part == Part::Whole && label == t) || (part == Part::Start && label.startsWith(t)) ||
            (part == Part::End && label.endsWith(t)))
            return true;
    }
    return false;
}

} // namespace

ProcessData::ProcessData(const Parts &parts, QObject *parent)
    : QObject(parent)
{
    QLabel *linkLabel = parts.linkLabel;
    sampling = new ProcessSampler(
        parts.items,
        [linkLabel = QPointer<QLabel>(linkLabel)] {
            return linkLabel ? linkOf(linkLabel->text()) : ProcessSample::Link::Unknown;
        },
        {}, this);
    connect(sampling, &ProcessSampler::sampled, this, &ProcessData::take);

    // The refresher has no tick signal of its own; its one timer is its tick. A sample taken
    // right after the tick holds the answers of the tick before, complete and from one round.
    QTimer *tick = parts.refresher != nullptr
                       ? parts.refresher->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)
                       : nullptr;
    if (tick == nullptr) {
        tick = new QTimer(this);
        tick->start(GUI::RefreshTimer::IntervalMs);
    }
    connect(tick, &QTimer::timeout, sampling, &ProcessSampler::sample);

    if (parts.stack != nullptr) {
        Communication *link = parts.link;
        connect(parts.stack, &BusinessLogic::CommandStack::sendAnswer, sampling,
                [this, link](const Answer &answer) {
                    if (!RunStateJudge::keyOf(answer.commandId))
                        return;
                    // The flags still belong to this exchange: the answer is sent right after it.
                    const bool taken = link == nullptr || RunStateJudge::accepted(
                                                              link->rxAck, link->rxNak,
                                                              link->protocolAnswer, link->portOpen);
                    sampling->commandDone(answer.commandId, taken);
                });
    }

    if (parts.tabs != nullptr) {
        chartTab = new ChartTab(&csv, &samples, parts.instance);
        const int at =
            parts.tabAfterChart != nullptr ? parts.tabs->indexOf(parts.tabAfterChart) : -1;
        parts.tabs->insertTab(at, chartTab, screenText("Chart"));
    }

    recordMark = FeedbackMarks::add(parts.feedbackLabel, screenText("REC"), "labelRecordMark");
    connect(&csv, &CsvRecorder::started, this, &ProcessData::showMark);
    connect(&csv, &CsvRecorder::stopped, this, &ProcessData::showMark);
}

ProcessData::~ProcessData()
{
    // The tab reads the recorder and the history, which go with this object.
    delete chartTab;
}

bool ProcessData::record(const QString &path)
{
    return csv.start(path);
}

ProcessSample::Link ProcessData::linkOf(const QString &labelText)
{
    if (shows(labelText, "PUMP CONNECTED", Part::Whole))
        return ProcessSample::Link::Connected;
    if (shows(labelText, "PUMP DISCONNECTED ", Part::Start))
        return shows(labelText, "(PORT unavailable)", Part::End)
                   ? ProcessSample::Link::PortUnavailable
                   : ProcessSample::Link::Disconnected;
    return ProcessSample::Link::Unknown;
}

void ProcessData::take(const ProcessSample &sample)
{
    samples.add(sample);
    if (chartTab)
        chartTab->chart()->historyChanged();
    csv.write(sample);
}

void ProcessData::showMark()
{
    if (!recordMark)
        return;
    if (csv.recording()) {
        recordMark->setText(screenText("REC"));
        recordMark->setStyleSheet(recordingSheet);
        recordMark->setToolTip(screenText("Recording to %1").arg(csv.path()));
        recordMark->show();
    } else if (!csv.reason().isEmpty()) {
        recordMark->setText(screenText("REC STOPPED"));
        recordMark->setStyleSheet(failedSheet);
        recordMark->setToolTip(csv.reason());
        recordMark->show();
    } else {
        recordMark->hide();
    }
}
