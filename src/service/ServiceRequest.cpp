#include "service/ServiceRequest.h"

#include "program/ProgramFile.h"
#include "remote/RemoteRequest.h"

namespace {

QString names(const std::map<QString, bool> &control)
{
    QStringList list;
    for (const auto &pump : control)
        list << pump.first;
    return list.isEmpty() ? QStringLiteral("no pump") : list.join(QStringLiteral(", "));
}

// The first of the pumps that does not allow control; empty when all do.
QString forbidding(const QStringList &pumps, const std::map<QString, bool> &control)
{
    for (const QString &pump : pumps) {
        const auto it = control.find(pump);
        if (it != control.end() && !it->second)
            return pump;
    }
    return QString();
}

} // namespace

ServiceRequest ServiceRequest::read(const QString &root, const MqttClient::Message &message,
                                    const std::map<QString, bool> &control,
                                    const QStringList &running)
{
    ServiceRequest r;
    const QString topic =
        message.topic.startsWith(root) ? message.topic.mid(root.size()) : QString();
    if (topic == QLatin1String("program/run"))
        r.action = Action::Run;
    else if (topic == QLatin1String("program/stop"))
        r.action = Action::Stop;
    else if (topic == QLatin1String("program/continue"))
        r.action = Action::Continue;
    else
        return r;
    r.key = topic;
    const auto refuse = [&r](const QString &why) {
        r.error = why;
        return r;
    };
    const bool correlationFits = message.correlation.size() <= RemoteRequest::MaxCorrelation;
    if (correlationFits)
        r.correlation = message.correlation;
    const int most = r.action == Action::Run ? RemoteRequest::MaxProgramPayload : MaxPayload;
    r.value = RemoteRequest::cut(
        QString::fromUtf8(message.payload.left(RemoteRequest::MaxEcho * 4)).simplified());
    if (message.payload.size() > most)
        return refuse(QStringLiteral("request longer than %1 bytes").arg(most));
    if (!correlationFits)
        return refuse(QStringLiteral("correlation data longer than %1 bytes")
                          .arg(RemoteRequest::MaxCorrelation));
    // A retained request would act again at every connection, long after it was meant.
    if (message.retained)
        return refuse(QStringLiteral("retained requests are ignored"));

    if (r.action != Action::Run) {
        if (running.isEmpty())
            return refuse(QStringLiteral("no program runs"));
        const QString pump = forbidding(running, control);
        if (!pump.isEmpty())
            return refuse(
                QStringLiteral("control not allowed: pump %1 does not allow it").arg(pump));
        return r;
    }
    ProgramFile::Checked checked = ProgramFile::read(message.payload);
    if (!checked.ok())
        return refuse(RemoteRequest::programErrors(checked.errors));
    r.program = std::move(checked.program);
    r.value = RemoteRequest::cut(r.program.name);
    if (r.program.pumps.isEmpty())
        return refuse(QStringLiteral("the program names no pumps: a program for one pump goes to "
                                     "that pump's own program/run"));
    for (const QString &pump : r.program.pumps) {
        if (control.count(pump) == 0)
            return refuse(QStringLiteral("the program's pump \"%1\" is not served here; the "
                                         "service serves %2")
                              .arg(RemoteRequest::cut(pump), names(control)));
    }
    const QString pump = forbidding(r.program.pumps, control);
    if (!pump.isEmpty())
        return refuse(QStringLiteral("control not allowed: pump %1 does not allow it").arg(pump));
    return r;
}
