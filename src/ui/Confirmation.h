#pragma once

#include <QObject>
#include <QString>

#include <functional>

class CsvRecorder;
class PumpCore;
class QEvent;
class QWidget;

namespace Ui {
class mainScreen;
}

// The questions asked before what cannot be undone from the window: the pump's default values,
// the maintenance position during a run, a new pump address, the factory writes, and closing the
// window while the pump runs or a recording is on. Each names what will change and is answered
// by keyboard; No is the default, so Enter and Esc send nothing. A list or box the operator
// changed goes back to what the pump reports when the answer is No.
class Confirmation : public QObject
{
    Q_OBJECT

public:
    enum class Topic {
        DefaultValues,
        Maintenance,
        PumpAddress,
        FactoryMode,
        PumpModel,
        StrokeVolume,
        FactoryCalibrationVolume,
        Close,
    };

    struct Question
    {
        Topic topic = Topic::Close;
        QString title;
        QString text;        // the question itself
        QString consequence; // what changes if the answer is Yes
    };

    // True for Yes. The window's own asks with a message box; tests answer in its place.
    using Asker = std::function<bool(const Question &)>;

    struct Parts
    {
        QWidget *window = nullptr; // parent of the questions; its closing is asked about
        Ui::mainScreen *ui = nullptr;
        PumpCore *pump = nullptr;
        const CsvRecorder *recorder = nullptr;
    };

    explicit Confirmation(const Parts &parts);

    // Replaces the message box (an empty asker brings it back).
    void answerWith(Asker asker);

    // Each is true when the command may go. Where nothing would change (the pump already has
    // that value, no run is in progress) nothing is asked.
    bool defaultValues();
    bool maintenance();
    bool pumpAddress(int address);
    bool factoryMode(bool on);
    bool pumpModel(int index);
    bool strokeVolume(int tenthsOfMicrolitre);
    bool factoryCalibrationVolume(int microlitres);
    // Asked only while the pump runs or a recording is on.
    bool closeWindow();

    // The message box: Yes and No, No the default and the answer to Esc.
    static bool askWithMessageBox(QWidget *parent, const Question &question);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ask(const Question &question);
    // The pump's run state in words, or empty while no run is in progress (moving or paused).
    QString runInProgress() const;

    Parts parts;
    Asker asker;
};
