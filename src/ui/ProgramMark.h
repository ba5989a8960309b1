#pragma once

#include "program/ProgramStatus.h"

#include <QObject>
#include <QPointer>

class ProgramRunner;
class QLabel;

// The "PROGRAM 3/7" mark beside the compact screen's command feedback: the running program's
// step and its number of steps once unrolled, shown while a program is active.
class ProgramMark : public QObject
{
    Q_OBJECT

public:
    ProgramMark(QLabel *feedbackLabel, ProgramRunner &runner, QObject *parent = nullptr);

    QLabel *mark() const { return label; }

private:
    void show(const ProgramStatus &status);

    QPointer<QLabel> label;
};
