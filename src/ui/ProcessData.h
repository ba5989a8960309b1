#pragma once

#include "recorder/CsvRecorder.h"
#include "recorder/ProcessSampler.h"
#include "recorder/SampleHistory.h"
#include "ui/ChartTab.h"

#include <QLabel>
#include <QObject>
#include <QPointer>

#include <vector>

class PumpCore;
class QTabWidget;

// The window's process data: every sample of the pump core (one per refresh tick) goes to the
// chart's history and, while recording, into the CSV file. Adds the Chart tab and the "REC"
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
        PumpCore *pump = nullptr;         // its samples are recorded
        int instance = 1;
    };

    explicit ProcessData(const Parts &parts, QObject *parent = nullptr);
    ~ProcessData() override;

    // Starts recording into that file (the command line's --record); false with the reason
    // shown when it cannot.
    bool record(const QString &path);

    CsvRecorder &recorder() { return csv; }
    const SampleHistory &history() const { return samples; }
    ChartTab *tab() const { return chartTab; }
    QLabel *mark() const { return recordMark; }

private:
    void take(const ProcessSample &sample);
    void showMark();

    CsvRecorder csv;
    SampleHistory samples;
    QPointer<ChartTab> chartTab;
    QPointer<QLabel> recordMark;
};
