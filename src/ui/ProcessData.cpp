#include "ui/ProcessData.h"

#include "pumpcore/PumpCore.h"
#include "ui/ChartTab.h"
#include "ui/FeedbackMarks.h"
#include "ui/ProcessChartView.h"
#include "ui/StyleSheets.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>

namespace {

const QString recordingSheet = StyleSheets::mark(StyleSheets::recordingMarkColour);
const QString failedSheet = StyleSheets::mark(StyleSheets::failedMarkColour);

} // namespace

ProcessData::ProcessData(const Parts &parts, QObject *parent)
    : QObject(parent)
{
    if (parts.pump != nullptr)
        connect(parts.pump, &PumpCore::sampled, this, &ProcessData::take);

    if (parts.tabs != nullptr) {
        chartTab = new ChartTab(&csv, &samples, parts.instance);
        const int at =
            parts.tabAfterChart != nullptr ? parts.tabs->indexOf(parts.tabAfterChart) : -1;
        parts.tabs->insertTab(at, chartTab, QCoreApplication::translate("mainScreen", "Chart"));
    }

    recordMark = FeedbackMarks::add(
        parts.feedbackLabel, QCoreApplication::translate("mainScreen", "REC"), "labelRecordMark");
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
        recordMark->setText(QCoreApplication::translate("mainScreen", "REC"));
        recordMark->setStyleSheet(recordingSheet);
        recordMark->setToolTip(
            QCoreApplication::translate("mainScreen", "Recording to %1").arg(csv.path()));
        recordMark->show();
    } else if (!csv.reason().isEmpty()) {
        recordMark->setText(QCoreApplication::translate("mainScreen", "REC STOPPED"));
        recordMark->setStyleSheet(failedSheet);
        recordMark->setToolTip(csv.reason());
        recordMark->show();
    } else {
        recordMark->hide();
    }
}
