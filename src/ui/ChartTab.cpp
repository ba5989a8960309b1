#include "ui/ChartTab.h"

#include "recorder/CsvRecorder.h"
#include "ui/ProcessChartView.h"
#include "ui/StyleSheets.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString idleSheet = QLatin1String(StyleSheets::statusGood);
const QString recordingSheet = QLatin1String(StyleSheets::statusRecording);
const QString failedSheet = QLatin1String(StyleSheets::statusFailedBold);

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setStyleSheet(QString::fromLatin1(StyleSheets::control));
    b->setAutoDefault(false);
    return b;
}

QLabel *label(const char *name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(QFont(QStringLiteral("Arial"), 10));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

ChartTab::ChartTab(CsvRecorder *recorder, const SampleHistory *history, int instance,
                   QWidget *parent)
    : QWidget(parent)
    , recorder(recorder)
    , instance(instance)
    , view(new ProcessChartView(history, this))
    , recordButton(
          button(QCoreApplication::translate("mainScreen", "Record"), "buttonRecord", this))
    , recordToButton(
          button(QCoreApplication::translate("mainScreen", "Record to..."), "buttonRecordTo", this))
    , stopButton(button(QCoreApplication::translate("mainScreen", "Stop recording"),
                        "buttonStopRecording", this))
    , stateLabel(label("labelRecordState", this))
    , fileLabel(label("labelRecordFile", this))
    , rowsLabel(label("labelRecordRows", this))
    , fitButton(
          button(QCoreApplication::translate("mainScreen", "Fit all"), "buttonChartFitAll", this))
    , followButton(
          button(QCoreApplication::translate("mainScreen", "Follow"), "buttonChartFollow", this))
    , imageButton(button(QCoreApplication::translate("mainScreen", "Save image..."),
                         "buttonChartSaveImage", this))
{
    setObjectName(QStringLiteral("tabChart"));
    view->setObjectName(QStringLiteral("chartProcess"));
    view->setFont(QFont(QStringLiteral("Arial"), 10));
    followButton->setCheckable(true);
    followButton->setChecked(true);
    followButton->setStyleSheet(followButton->styleSheet() +
                                QLatin1String(StyleSheets::toggleChecked));
    fileLabel->setWordWrap(true);
    stateLabel->setWordWrap(true);
    recordButton->setToolTip(QCoreApplication::translate(
        "mainScreen", "Record every refresh of the pump's values into a new CSV file "
                      "in the documents folder"));
    recordToButton->setToolTip(
        QCoreApplication::translate("mainScreen", "Record into a new CSV file of your choice"));
    view->setToolTip(QCoreApplication::translate(
        "mainScreen", "Drag to pan, turn the wheel to zoom, draw a rectangle with the right "
                      "button (or Shift and the left) to zoom to it; click a legend entry to "
                      "hide or show its curve"));

    auto *recordRow = new QHBoxLayout;
    recordRow->addWidget(recordButton);
    recordRow->addWidget(recordToButton);
    recordRow->addWidget(stopButton);
    recordRow->addWidget(rowsLabel);
    recordRow->addStretch(1);
    auto *viewRow = new QHBoxLayout;
    viewRow->addWidget(fitButton);
    viewRow->addWidget(followButton);
    viewRow->addStretch(1);
    viewRow->addWidget(imageButton);
    auto *column = new QVBoxLayout(this);
    column->addLayout(recordRow);
    column->addWidget(stateLabel);
    column->addWidget(fileLabel);
    column->addWidget(view, 1);
    column->addLayout(viewRow);

    connect(recordButton, &QPushButton::clicked, this, &ChartTab::startRecording);
    connect(recordToButton, &QPushButton::clicked, this, &ChartTab::chooseFileAndRecord);
    connect(stopButton, &QPushButton::clicked, this, &ChartTab::stopRecording);
    connect(fitButton, &QPushButton::clicked, view, &ProcessChartView::fitAll);
    connect(followButton, &QPushButton::clicked, this, [this](bool on) {
        if (on)
            view->follow();
        else
            followButton->setChecked(view->mode() == ProcessChartView::Mode::Follow);
    });
    connect(view, &ProcessChartView::modeChanged, this, [this](ProcessChartView::Mode mode) {
        followButton->setChecked(mode == ProcessChartView::Mode::Follow);
    });
    connect(imageButton, &QPushButton::clicked, this, &ChartTab::chooseFileAndSaveImage);
    connect(recorder, &CsvRecorder::started, this, &ChartTab::showRecorder);
    connect(recorder, &CsvRecorder::rowsWritten, this, &ChartTab::showRecorder);
    connect(recorder, &CsvRecorder::stopped, this, &ChartTab::showStopped);
    showRecorder();
}

void ChartTab::startRecording()
{
    recorder->startDefault(instance);
}

void ChartTab::chooseFileAndRecord()
{
    QFileDialog dialog(
        this, QCoreApplication::translate("mainScreen", "Record to"), CsvRecorder::defaultFolder(),
        QCoreApplication::translate("mainScreen", "CSV files (*.csv);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // The recorder refuses an existing file and says so; asking to replace it would mislead.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(CsvRecorder::defaultName(instance, QDateTime::currentDateTime()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    recorder->start(dialog.selectedFiles().constFirst());
}

void ChartTab::stopRecording()
{
    recorder->stop();
}

bool ChartTab::saveImage(const QString &path)
{
    if (view->saveImage(path))
        return true;
    stateLabel->setStyleSheet(failedSheet);
    stateLabel->setText(
        QCoreApplication::translate("mainScreen", "The image could not be written to %1.")
            .arg(QDir::toNativeSeparators(path)));
    return false;
}

void ChartTab::chooseFileAndSaveImage()
{
    const QString name =
        QStringLiteral("dosetta-%1-chart-%2.png")
            .arg(instance)
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("mainScreen", "Save image"),
        QDir(CsvRecorder::defaultFolder()).filePath(name),
        QCoreApplication::translate("mainScreen", "PNG images (*.png)"));
    if (path.isEmpty())
        return;
    saveImage(path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
                  ? path
                  : path + QStringLiteral(".png"));
}

void ChartTab::showRecorder()
{
    const bool on = recorder->recording();
    recordButton->setEnabled(!on);
    recordToButton->setEnabled(!on);
    stopButton->setEnabled(on);
    if (on) {
        stateLabel->setStyleSheet(recordingSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Recording"));
    }
    // The file of the recording that runs or ran; a start that failed names its file in the reason.
    if (on || recorder->rows() > 0) {
        fileLabel->setText(QCoreApplication::translate("mainScreen", "File: %1")
                               .arg(QDir::toNativeSeparators(recorder->path())));
        rowsLabel->setText(
            QCoreApplication::translate("mainScreen", "Rows: %1").arg(recorder->rows()));
    } else {
        fileLabel->setText(QCoreApplication::translate("mainScreen", "Records go to %1")
                               .arg(QDir::toNativeSeparators(CsvRecorder::defaultFolder())));
        rowsLabel->clear();
    }
    if (!on && recorder->reason().isEmpty()) {
        stateLabel->setStyleSheet(idleSheet);
        stateLabel->setText(QCoreApplication::translate("mainScreen", "Not recording"));
    }
}

void ChartTab::showStopped(const QString &reason)
{
    showRecorder();
    if (reason.isEmpty())
        return;
    stateLabel->setStyleSheet(failedSheet);
    stateLabel->setText(reason);
}
