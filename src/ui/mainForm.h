#pragma once

#include "BusinessLogic/InvalidReason.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QTextEdit;

namespace BusinessLogic {
class CommandStack;
}

namespace Ui {
class mainScreen;
}

// The program's one window: the main screen with the run buttons and set-points, the advanced
// screen's tabs, and the two traffic views of the communication tab.
class mainForm : public QDialog
{
    Q_OBJECT

public:
    // Which corners of a run button are squared off where it meets its neighbour.
    enum class RunButtonCorners { Rounded, LeftSquare, RightSquare };

    // Paragraphs kept by each traffic view; the oldest are dropped first.
    static constexpr int TrafficViewBlocks = 500;

    // stack: where operator commands go and whose logged exchanges the traffic views draw; not
    // owned, may be null (no traffic is then drawn).
    explicit mainForm(BusinessLogic::CommandStack *stack, QWidget *parent = nullptr);
    ~mainForm() override;

    // Style sheet of a run button (Stop, Start, Pause, Prime): the common button sheet, the
    // highlight colour for the button of the command given last or the normal colour, then the
    // corner sheet if any.
    static QString runButtonSheet(bool highlighted,
                                  RunButtonCorners corners = RunButtonCorners::Rounded);

public slots:
    // Fault lists of the frame drawn next; the stack emits them just before the line.
    void formatRawDataTxPos(std::vector<int> positions);
    void formatRawDataTxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    void formatRawDataRxPos(std::vector<int> positions);
    void formatRawDataRxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    // One logged line each: the stamp in blue, the frame in black, the check character coloured
    // by the stored fault list. The line belongs to the stack and is read during the call only.
    void displayRawDataTx(std::string *line);
    void displayRawDataRx(std::string *line);

protected:
    std::unique_ptr<Ui::mainScreen> ui;
    BusinessLogic::CommandStack *commandStack = nullptr;

    // The run-mode menu under buttonMode (no parent; owned here) and its two entries.
    std::unique_ptr<QMenu> runModeMenu;
    QAction *actionFlowMode = nullptr;
    QAction *actionVolumeMode = nullptr;

    // Copies of the fault lists last received, for the line drawn next.
    std::vector<int> txPositions;
    std::vector<BusinessLogic::InvalidReason> txReasons;
    std::vector<int> rxPositions;
    std::vector<BusinessLogic::InvalidReason> rxReasons;

private:
    void fillLists();
    void applyStyleSheets();
    void buildRunModeMenu();
    void setEntryBounds();
    void connectTrafficViews();
    // Appends the stamp as a new paragraph and the rest after it; returns the width of the mark
    // (the check character, or its six-character escape) at the paragraph's end.
    static int appendTrafficLine(QTextEdit *view, const std::string &line, int stampLength);
};
