#include "remote/RemoteRequest.h"

#include "pump/ModelLimits.h"
#include "remote/BridgeOptions.h"
#include "remote/RemoteCommandObject.h"
#include "remote/TopicNames.h"

namespace {

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

const std::vector<RemoteRequest::Word> &RemoteRequest::words()
{
    static const std::vector<Word> table = {
        {"start", Id::Start, ProgramAction::None, Permission::Control},
        {"stop", Id::Stop, ProgramAction::None, Permission::Control},
        {"pause", Id::Pause, ProgramAction::None, Permission::Control},
        {"prime", Id::Prime, ProgramAction::None, Permission::Control},
        {"program-pause", Id::Base, ProgramAction::Pause, Permission::Control},
        // Resumes a paused program and ends a prompt step alike: both wait for whoever
        // watches to say go on.
        {"program-continue", Id::Base, ProgramAction::Continue, Permission::Control},
        {"program-stop", Id::Base, ProgramAction::Stop, Permission::Control},
    };
    return table;
}

const RemoteRequest::Word *RemoteRequest::commandNamed(const QString &word)
{
    for (const Word &w : words()) {
        if (word == QLatin1String(w.name))
            return &w;
    }
    return nullptr;
}

QString RemoteRequest::wordList()
{
    QStringList names;
    for (const Word &w : words())
        names << QLatin1String(w.name);
    const QString last = names.takeLast();
    return names.join(QLatin1String(", ")) + QStringLiteral(" or ") + last;
}

void RemoteRequest::take(const Word &word)
{
    command = word.command;
    programAction = word.program;
    permission = word.permission;
}

QString RemoteRequest::cut(const QString &text, int most)
{
    if (text.size() <= most)
        return text;
    // Never half a surrogate pair.
    const int keep = text.at(most - 1).isHighSurrogate() ? most - 1 : most;
    return text.left(keep) + QChar(0x2026);
}

QString RemoteRequest::programErrors(const QStringList &errors)
{
    // Each error names its path, which a long file can make long: cut, and only the first few.
    const int most = 120;
    QStringList shown;
    for (int i = 0; i < errors.size() && i < MaxProgramErrors; ++i)
        shown << cut(errors.at(i), most);
    QString text = QStringLiteral("the program has %1 error%2: %3")
                       .arg(errors.size())
                       .arg(errors.size() == 1 ? QString() : QStringLiteral("s"))
                       .arg(shown.join(QLatin1String("; ")));
    if (errors.size() > MaxProgramErrors)
        text += QStringLiteral("; and %1 more").arg(errors.size() - MaxProgramErrors);
    return text;
}

RemoteRequest RemoteRequest::read(const TopicNames &topics, const MqttClient::Message &message,
                                  const BridgeOptions &options, const QString &pumpType)
{
    RemoteRequest r;
    if (message.topic == topics.command()) {
        r.kind = Kind::Command;
        r.permission = Permission::Control;
    } else if (message.topic == topics.programRun()) {
        r.kind = Kind::Program;
        r.key = QStringLiteral("program/run");
        r.programAction = ProgramAction::Run;
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
    const int most = r.kind == Kind::Program ? MaxProgramPayload : MaxPayload;
    if (message.payload.size() > most) {
        // Only its start is read: enough for whoever sent it to know it again.
        r.value = cut(QString::fromUtf8(message.payload.left(MaxEcho)) + QChar(0x2026));
        return refuse(QStringLiteral("request longer than %1 bytes").arg(most));
    }
    const QString text = r.kind == Kind::Program
                             ? QString::fromUtf8(message.payload.left(MaxEcho * 4)).simplified()
                             : valueText(message.payload);
    r.value = cut(text);
    if (r.kind == Kind::Command) {
        r.key = cut(text.toLower());
        // A word's own permission; an unknown word asks for control, so that without it every
        // word gets the same answer.
        if (const Word *word = commandNamed(r.key))
            r.permission = word->permission;
    }
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
    if (r.kind == Kind::Program) {
        ProgramFile::Checked checked = ProgramFile::read(message.payload);
        if (!checked.ok())
            return refuse(programErrors(checked.errors));
        r.program = std::move(checked.program);
        r.value = cut(r.program.name);
        return r;
    }
    if (key == nullptr && text.startsWith(QLatin1Char('{'))) {
        RemoteCommandObject::read(message.payload, r, pumpType);
        r.key = cut(r.key);
        if (r.error.isEmpty() && !allowed(options, r.permission))
            r.error = QStringLiteral("control not allowed");
        return r;
    }
    if (key == nullptr) {
        const Word *word = commandNamed(r.key);
        if (word != nullptr)
            r.take(*word);
        else
            r.error = QStringLiteral("unknown command: ") + wordList();
        return r;
    }
    const Pump::KeyTable::Setting s =
        Pump::KeyTable::parse(Pump::ModelLimits::of(*key, pumpType), text);
    r.error = withoutValue(s.error, key->name, text);
    r.command = s.command;
    r.commandValue = s.value;
    return r;
}
