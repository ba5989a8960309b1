#include "remote/RemoteRequest.h"

#include "remote/BridgeOptions.h"
#include "remote/RemoteCommandObject.h"
#include "remote/TopicNames.h"

namespace {

using Id = BusinessLogic::CommandSpezifier;
using Permission = Pump::KeyTable::Permission;

// A payload may come as a bare text or as a JSON string ("\"flow\""): both mean the text.
QString valueText(const QByteArray &payload)
{
    QString text = QString::fromUtf8(payload).trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2).trimmed();
    return text;
}

// The key table names the value it refuses ("flow-rate: 150 is above ..."); the result carries
// the value already, cut, so the error says "the value" instead.
QString withoutValue(const QString &error, const QString &key, const QString &text)
{
    const QString quoted = QStringLiteral("%1: \"%2\"").arg(key, text);
    const QString bare = QStringLiteral("%1: %2 ").arg(key, text);
    const QString plain = key + QStringLiteral(": the value");
    if (error.startsWith(quoted))
        return plain + error.mid(quoted.size());
    if (error.startsWith(bare))
        return plain + error.mid(bare.size() - 1);
    return error;
}

bool allowed(const BridgeOptions &options, Permission permission)
{
    switch (permission) {
    case Permission::Control:
        return options.allowControl;
    case Permission::Config:
        return options.allowConfig;
    case Permission::None:
        break;
    }
    return true;
}

} // namespace

BusinessLogic::CommandSpezifier RemoteRequest::commandNamed(const QString &word)
{
    static const struct
    {
        const char *name;
        Id id;
    } commands[] = {
        {"start", Id::Start}, {"stop", Id::Stop}, {"pause", Id::Pause}, {"prime", Id::Prime}};
    for (const auto &c : commands) {
        if (word == QLatin1String(c.name))
            return c.id;
    }
    return Id::Base;
}

QString RemoteRequest::cut(const QString &text)
{
    if (text.size() <= MaxEcho)
        return text;
    // Never half a surrogate pair.
    const int keep = text.at(MaxEcho - 1).isHighSurrogate() ? MaxEcho - 1 : MaxEcho;
    return text.left(keep) + QChar(0x2026);
}

RemoteRequest RemoteRequest::read(const TopicNames &topics, const MqttClient::Message &message,
                                  const BridgeOptions &options)
{
    RemoteRequest r;
    if (message.topic == topics.command()) {
        r.kind = Kind::Command;
        r.permission = Permission::Control;
    } else {
        r.key = cut(topics.keyOf(message.topic));
        if (r.key.isEmpty())
            return r; // not ours
        r.kind = Kind::Set;
    }
    const auto refuse = [&r](const QString &why) {
        r.error = why;
        return r;
    };
    // Too long to echo, it is not echoed at all: a cut one would match no request.
    const bool correlationFits = message.correlation.size() <= MaxCorrelation;
    if (correlationFits)
        r.correlation = message.correlation;
    if (message.payload.size() > MaxPayload) {
        // Only its start is read: enough for whoever sent it to know it again.
        r.value = cut(QString::fromUtf8(message.payload.left(MaxEcho)) + QChar(0x2026));
        return refuse(QStringLiteral("request longer than %1 bytes").arg(MaxPayload));
    }
    const QString text = valueText(message.payload);
    r.value = cut(text);
    if (r.kind == Kind::Command)
        r.key = cut(text.toLower());
    if (!correlationFits)
        return refuse(QStringLiteral("correlation data longer than %1 bytes").arg(MaxCorrelation));
    // A retained request would act again at every connection, long after it was meant.
    if (message.retained)
        return refuse(QStringLiteral("retained requests are ignored"));

    const Pump::KeyTable::Key *key = nullptr;
    if (r.kind == Kind::Set) {
        key = Pump::KeyTable::find(topics.keyOf(message.topic));
        if (key == nullptr)
            return refuse(QStringLiteral("unknown key \"%1\"").arg(r.key));
        r.name = key->output;
        r.permission = key->permission;
    }
    // Without permission nothing is checked further: the answer is the same for every value.
    if (!allowed(options, r.permission)) {
        return refuse(r.permission == Permission::Control
                          ? QStringLiteral("control not allowed")
                          : QStringLiteral("configuration not allowed"));
    }
    if (key == nullptr && text.startsWith(QLatin1Char('{'))) {
        RemoteCommandObject::read(message.payload, r);
        r.key = cut(r.key);
        return r;
    }
    if (key == nullptr) {
        r.command = commandNamed(r.key);
        if (r.command == Id::Base)
            r.error = QStringLiteral("unknown command: start, stop, pause or prime");
        return r;
    }
    const Pump::KeyTable::Setting s = Pump::KeyTable::parse(*key, text);
    r.error = withoutValue(s.error, key->name, text);
    r.command = s.command;
    r.commandValue = s.value;
    return r;
}
