#pragma once

#include "ui/LinkFeedback.h"

#include <QObject>
#include <QString>
#include <QStringList>

class PumpCore;
class QLabel;
struct Answer;
struct ProcessSample;

// Why the pump refused a run key, when it reports an error flag: the refusal's own text gets the
// flags added ("COMMAND NOT ACCEPTED (RANGE) - pump reports: Overpressure") and stays at full
// strength while they stand; once they clear it fades as any feedback. The flags are those of
// the samples, as the error banner and the recorder name them.
class RefusalCause : public QObject
{
    Q_OBJECT

public:
    // feedbackLabel: the feedback line, which wraps the longer text rather than widen the window.
    RefusalCause(QLabel *feedbackLabel, PumpCore &core, QObject *parent = nullptr);

    // Applied to every update's feedback before the window shows it.
    void explain(LinkFeedback::Heard heard, LinkFeedback::Result &result);

    static QString withCause(const QString &refusal, const QStringList &errors);

private:
    void answered(const Answer &answer);
    void sampled(const ProcessSample &sample);

    QStringList errors;
    bool keyRefused = false; // the last refusal on the wire was of a run key
    bool shown = false;      // that refusal is on the feedback line
    bool holding = false;    // with the flags added, at full strength
    QString refusal;
};
