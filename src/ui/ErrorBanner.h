#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class PumpCore;
class QLabel;
struct ProcessSample;

// A red banner on the compact screen that names the pump's error flags while it reports any
// ("PUMP ERROR: Overpressure"), in the words of the Status tab and of the recorder's errors
// column: it shows the same samples. Hidden once they clear and while they are not known; it
// keeps its place meanwhile, so the screen does not jump when it comes.
class ErrorBanner : public QObject
{
    Q_OBJECT

public:
    // The banner goes above that label, in its frame.
    ErrorBanner(QLabel *above, PumpCore &core, QObject *parent = nullptr);

    static QString text(const QStringList &errors);
    QLabel *label() const { return banner; }
    // The flags shown now; empty while hidden.
    QStringList errors() const { return shown; }

private:
    void show(const ProcessSample &sample);

    QPointer<QLabel> banner;
    QStringList shown;
};
