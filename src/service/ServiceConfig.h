#pragma once

#include "service/PumpPlan.h"
#include "service/ServicePlan.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The service's configuration file: "key = value" lines with serve's option names, '#' comment
// lines, and optionally "[pump NAME]" sections, one per pump. What stands above the first
// section (the broker, and whatever else every pump shares) holds for every pump, and a section
// may set it otherwise for its own. A file without sections describes one pump. Every error
// names the file and its line. "service = NAME" above the first section names the service itself
// on the broker (the host's name if not given); it is no pump's setting.
class ServiceConfig
{
public:
    // Beyond these, a file is no configuration of ours.
    static constexpr qint64 MaxBytes = 1024 * 1024;
    static constexpr int MaxPumps = 64;

    struct Setting
    {
        QString key;
        QString value;
        int line = 0; // 0: from the command line
    };
    struct Section
    {
        QString name;
        int line = 0;
        QVector<Setting> settings;
    };

    QString path;
    QVector<Setting> shared; // above the first section
    QVector<Section> pumps;

    static bool read(const QString &path, ServiceConfig *into, QString *error);
    static bool parse(const QByteArray &text, const QString &path, ServiceConfig *into,
                      QString *error);
    // A pump's name, usable in topics, file names and log lines: letters, digits, '.', '_' and
    // '-', 64 at most.
    static bool validName(const QString &name);

    // The pumps with the shared settings, each section's own, then the credentials' (a service
    // manager's folder, may be empty) and the command line's, which win. A file without sections
    // gives one pump without a name. False with the first error: "<file>:<line>: <reason>", or
    // "--<key>: <reason>" for the command line's.
    bool plans(const QString &credentials, const QVector<Setting> &commandLine,
               QVector<PumpPlan> *into, QString *error) const;
    // The service's own side: its name (host when the file gives none) and what every pump
    // shares, then the credentials' and the command line's. Its topics may be no pump's of
    // pumps (the result of plans()). False with the first error, as plans() gives it.
    bool service(const QString &credentials, const QVector<Setting> &commandLine,
                 const QString &host, const QVector<PumpPlan> &pumps, ServicePlan *into,
                 QString *error) const;

    static constexpr const char *ServiceKey = "service";
};
