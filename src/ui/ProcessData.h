#pragma once

#include "recorder/CsvRecorder.h"
#include "recorder/ProcessSampler.h"
#include "recorder/SampleHistory.h"
#include "ui/ChartTab.h"

#include <QLabel>
#include <QObject>
#include <QPointer>

#include <vector>

class Communication;
class QTabWidget;

namespace BusinessLogic {
class CommandStack;
}

namespace GUI {
class OperationItem;
}

// The window's process data: after every refresh tick one sample of the operation items goes to
// the chart's history and, while recording, into the CSV file. Adds the Chart tab and the "REC"
// mark beside the command feedback of the compact screen.
class ProcessData : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        QTabWidget *tabs = nullptr;
        QWidget *tabAfterChart = nullptr; // the Chart tab goes in front of this one
        QLabel *feedbackLabel = nullptr;  // the mark goes to its right
        QLabel *linkLabel = nullptr;      // the link state is read from it
        std::vector<GUI::OperationItem *> items;
        BusinessLogic::CommandStack *stack = nullptr; // its answers tell the run keys taken
        QObject *refresher = nullptr;                 // its timer paces the samples
        Communication *link = nullptr;
        int instance = 1;
    };

    explicit ProcessData(const Parts &parts, QObject *parent = nullptr);
    ~ProcessData() override;

    // Starts recording into that file (the command line's --record); false with the reason
    // shown when it cannot.
    bool record(const QString &path);

    // What the link label's text says about the link.
    static ProcessSample::Link linkOf(const QString &labelText);

    CsvRecorder &recorder() { return csv; }
    const SampleHistory &history() const { return samples; }
    ProcessSampler &sampler() { return *sampling; }
    ChartTab *tab() const { return chartTab; }
    QLabel *mark() const { return recordMark; }

private:
    void take(const ProcessSample &sample);
    void showMark();

    CsvRecorder csv;
    SampleHistory samples;
    ProcessSampler *sampling = nullptr;
    QPointer<ChartTab> chartTab;
    QPointer<QLabel> recordMark;
};
