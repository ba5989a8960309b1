#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

// Who asked for what goes to the pump: the front-end (the journal's origin names: "window",
// "cli", "bridge", "sila", "pump"), the user or client as far as it is known, the request's own
// id where the front-end has one (an MQTT correlation, a SiLA execution), and the run it belongs
// to. The journal records it with every run and setting.
struct RequestOrigin
{
    QString frontEnd;
    QString who;
    QString request;
    QString runId;

    bool known() const { return !frontEnd.isEmpty(); }
    // "bridge lab-3 (client tablet-7)": for reasons and log lines.
    QString text() const;
    // front_end, who, and request when there is one.
    QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(RequestOrigin)
