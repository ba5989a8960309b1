#pragma once

#include "BusinessLogic/InvalidReason.h"

#include <QObject>

#include <string>
#include <vector>

class Communication;
class QAbstractButton;
class QTextEdit;

namespace BusinessLogic {
class CommandStack;
}

// The communication tab's two traffic views: every logged frame sent and received, one line
// each, the stamp in blue, the frame in black and its check character coloured by the fault
// list the stack emitted just before the line.
class TrafficView : public QObject
{
    Q_OBJECT

public:
    // Paragraphs kept by each view; the oldest are dropped first.
    static constexpr int Blocks = 500;

    struct Parts
    {
        BusinessLogic::CommandStack *stack = nullptr; // not owned; may be null
        QTextEdit *tx = nullptr;
        QTextEdit *rx = nullptr;
        QAbstractButton *clearAll = nullptr;
        // While its port is closed no answer can come: the received view shows no empty lines.
        const Communication *link = nullptr;
    };

    explicit TrafficView(const Parts &parts, QObject *parent = nullptr);

public slots:
    // Fault lists of the frame drawn next.
    void formatTxPos(std::vector<int> positions);
    void formatTxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    void formatRxPos(std::vector<int> positions);
    void formatRxReasons(std::vector<BusinessLogic::InvalidReason> reasons);
    // The line belongs to the stack and is read during the call only.
    void displayTx(std::string *line);
    void displayRx(std::string *line);

private:
    // Appends the stamp as a new paragraph and the rest after it; returns the width of the mark
    // (the check character, or its six-character escape) at the paragraph's end.
    static int appendLine(QTextEdit *view, const std::string &line, int stampLength);

    // Keeps the view at its newest line while the operator has not scrolled back.
    void follow(QTextEdit *view, bool &following);

    Parts parts;
    bool txFollowing = true;
    bool rxFollowing = true;
    // Copies of the fault lists last received, for the line drawn next.
    std::vector<int> txPositions;
    std::vector<BusinessLogic::InvalidReason> txReasons;
    std::vector<int> rxPositions;
    std::vector<BusinessLogic::InvalidReason> rxReasons;
};
