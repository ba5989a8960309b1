#include "remote/RemoteRequest.h"

#include "pump/KeyTable.h"
#include "remote/RemoteCommandObject.h"
#include "remote/TopicNames.h"

namespace {

using Id = BusinessLogic::CommandSpezifier;

// A payload may come as a bare text or as a JSON string ("\"flow\""): both mean the text.
QString valueText(const QByteArray &payload)
{
    QString text = QString::fromUtf8(payload).trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2).trimmed();
    return text;
}

} // namespace

RemoteRequest RemoteRequest::read(const TopicNames &topics, const QString &topic,
                                  const QByteArray &payload, bool allowControl)
{
    RemoteRequest r;
    r.value = valueText(payload);
    if (topic == topics.command() && r.value.startsWith(QLatin1Char('{'))) {
        RemoteCommandObject::read(topics, payload, r);
    } else if (topic == topics.command()) {
        r.kind = Kind::Command;
        r.key = r.value.toLower();
        static const struct
        {
            const char *name;
            Id id;
        } commands[] = {
            {"start", Id::Start}, {"stop", Id::Stop}, {"pause", Id::Pause}, {"prime", Id::Prime}};
        for (const auto &c : commands) {
            if (r.key == QLatin1String(c.name))
                r.command = c.id;
        }
        if (r.command == Id::Base)
            r.error =
                QStringLiteral("unknown command \"%1\": start, stop, pause or prime").arg(r.value);
    } else {
        r.key = topics.keyOf(topic);
        if (r.key.isEmpty())
            return r; // not ours
        r.kind = Kind::Set;
        const Pump::KeyTable::Key *key = Pump::KeyTable::find(r.key);
        if (key == nullptr) {
            r.error = QStringLiteral("unknown key \"%1\"").arg(r.key);
        } else {
            r.name = key->output;
            const Pump::KeyTable::Setting s = Pump::KeyTable::parse(*key, r.value);
            r.error = s.error;
            r.command = s.command;
            r.commandValue = s.value;
        }
    }
    // Without permission nothing is checked further: the answer is the same for every request.
    if (!allowControl)
        r.error = QStringLiteral("control not allowed");
    return r;
}
