#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// What the pump was doing at one moment, as the program knew it: one refresh tick's picture of
// the polled values. A value the pump has not reported yet is absent, never 0. The status and
// error flags are absent, and the run state unknown, while the link is not connected: never the
// flags read before a silence. Quantities stay in the pump's units; the CSV file and any other
// consumer scale them.
struct ProcessSample
{
    // The link as the window's link label shows it.
    enum class Link { Unknown, Connected, Disconnected, PortUnavailable };
    enum class RunState { Unknown, Running, Paused, Priming, Stopped };
    // The pump's run modes 0, 1 and 2.
    enum class Mode { Unknown, Flow, Volume, FlowDispense };

    static QString linkText(Link link);
    static QString runStateText(RunState state);
    static QString modeText(Mode mode);
    static Mode modeOf(int runMode);

    qint64 timeMs = 0; // UTC, milliseconds since 1970
    Link link = Link::Unknown;
    RunState runState = RunState::Unknown;
    Mode mode = Mode::Unknown;
    std::optional<qint64> flowRate;        // set, thousandths of a ml per minute
    std::optional<qint64> volumeTarget;    // set, thousandths of a ml
    std::optional<qint64> volumeDelivered; // thousandths of a ml
    std::optional<qint64> timeElapsedMs;   // the pump's own clock, hundredths resolution
    std::optional<qint64> dispenseTimeS;   // set, whole seconds
    std::optional<QStringList> status;     // lit status flags, by their screen texts
    std::optional<QStringList> errors;     // error flags that are set, by their screen texts
    QString program;                       // the running dosing program's name, else empty
    QString step;                          // its step's label: "3.1 dose, pass 2/3"

    bool running() const { return runState == RunState::Running || runState == RunState::Priming; }

    bool operator==(const ProcessSample &other) const;
    bool operator!=(const ProcessSample &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(ProcessSample)
