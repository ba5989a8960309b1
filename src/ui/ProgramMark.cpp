#include "ui/ProgramMark.h"

#include "program/ProgramRunner.h"
#include "ui/FeedbackMarks.h"
#include "ui/ShownProgramText.h"
#include "ui/StyleSheets.h"

#include <QCoreApplication>
#include <QLabel>

ProgramMark::ProgramMark(QLabel *feedbackLabel, ProgramRunner &runner, QObject *parent)
    : QObject(parent)
    , label(FeedbackMarks::add(feedbackLabel, QCoreApplication::translate("mainScreen", "PROGRAM"),
                               "labelProgramMark"))
{
    if (label)
        label->setStyleSheet(StyleSheets::mark(StyleSheets::programMarkColour));
    connect(&runner, &ProgramRunner::statusChanged, this, &ProgramMark::show);
    connect(&runner, &ProgramRunner::ended, this, &ProgramMark::show);
    show(runner.status());
}

void ProgramMark::show(const ProgramStatus &status)
{
    if (!label)
        return;
    if (!status.active()) {
        label->hide();
        return;
    }
    label->setText(QCoreApplication::translate("mainScreen", "PROGRAM %1/%2")
                       .arg(status.position)
                       .arg(status.total));
    label->setToolTip(ShownProgramText::shown(status.name) + QStringLiteral(": ") +
                      ShownProgramText::label(status.label));
    label->show();
}
