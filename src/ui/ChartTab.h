#pragma once

#include <QWidget>

class CsvRecorder;
class ProcessChartView;
class QLabel;
class QPushButton;
class SampleHistory;

// The advanced screen's Chart tab: Record and Stop recording with the file and the rows written
// so far, and the process chart with fit all, follow and image export.
class ChartTab : public QWidget
{
    Q_OBJECT

public:
    // Neither the recorder nor the history is owned.
    ChartTab(CsvRecorder *recorder, const SampleHistory *history, int instance,
             QWidget *parent = nullptr);

    ProcessChartView *chart() const { return view; }
    // The chart as a PNG file; false, with the reason shown, when it cannot be written.
    bool saveImage(const QString &path);

public slots:
    void startRecording();
    void chooseFileAndRecord();
    void stopRecording();
    void chooseFileAndSaveImage();

private:
    void showRecorder();
    void showStopped(const QString &reason);

    CsvRecorder *recorder;
    int instance;
    ProcessChartView *view;
    QPushButton *recordButton;
    QPushButton *recordToButton;
    QPushButton *stopButton;
    QLabel *stateLabel;
    QLabel *fileLabel;
    QLabel *rowsLabel;
    QPushButton *fitButton;
    QPushButton *followButton;
    QPushButton *imageButton;
};
