#include "remote/RemoteCommandObject.h"

#include "pump/DosingPlan.h"
#include "pump/JsonKeys.h"
#include "remote/RemoteRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <optional>

namespace {

const QString Command = QStringLiteral("command");

// A field's value as the text the key table checks: numbers in their shortest form, so that
// 2.5 reads "2.5" and not "2.50000000000000001".
std::optional<QString> fieldText(const QJsonObject &object, const QString &field, QString *error)
{
    const QJsonValue v = object.value(field);
    if (v.isUndefined())
        return std::nullopt;
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (v.isString())
        return v.toString();
    *error = QStringLiteral("\"%1\" must be a number or a text").arg(field);
    return std::nullopt;
}

} // namespace

void RemoteCommandObject::read(const QByteArray &payload, RemoteRequest &r, const QString &pumpType)
{
    r.kind = RemoteRequest::Kind::Command;
    if (!Pump::JsonKeys::repeated(payload).isNull()) {
        r.error = QStringLiteral("a key is given twice");
        return;
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &parse);
    if (!document.isObject()) {
        r.error = QStringLiteral("not a JSON object: %1").arg(parse.errorString());
        return;
    }
    const QJsonObject object = document.object();
    r.key = object.value(Command).toString().trimmed().toLower();
    struct Fields
    {
        const char *command;
        const char *required;
        const char *optional;
    };
    static const Fields plans[] = {{"dose", "volume", "rate"}, {"run", "rate", "time"}};
    const Fields *plan = nullptr;
    for (const Fields &f : plans) {
        if (r.key == QLatin1String(f.command))
            plan = &f;
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool known =
            it.key() == Command || (plan && (it.key() == QLatin1String(plan->required) ||
                                             it.key() == QLatin1String(plan->optional)));
        if (!known) {
            r.error = QStringLiteral("unknown field \"%1\" for \"%2\"")
                          .arg(RemoteRequest::cut(it.key()), RemoteRequest::cut(r.key));
            return;
        }
    }
    if (plan == nullptr) {
        // A plain command reads as its word alone.
        const RemoteRequest::Word *word = RemoteRequest::commandNamed(r.key);
        if (word != nullptr)
            r.take(*word);
        else
            r.error = QStringLiteral("unknown command: dose, run, ") + RemoteRequest::wordList();
        return;
    }
    QString error;
    const std::optional<QString> required =
        fieldText(object, QLatin1String(plan->required), &error);
    const std::optional<QString> optional =
        fieldText(object, QLatin1String(plan->optional), &error);
    if (error.isEmpty() && !required)
        error = QStringLiteral("%1 needs \"%2\"").arg(r.key, QLatin1String(plan->required));
    if (!error.isEmpty()) {
        r.error = error;
        return;
    }
    const Pump::DosingPlan steps = r.key == QLatin1String("dose")
                                       ? Pump::DosingPlan::dose(*required, optional, pumpType)
                                       : Pump::DosingPlan::run(*required, optional, pumpType);
    r.error = steps.error;
    r.steps = steps.steps;
    if (!r.steps.empty()) {
        r.command = r.steps.front().command;
        r.commandValue = r.steps.front().value;
        // What the program runner runs: the numbers, read here once.
        r.program = DosingProgram{r.key, {ProgramStep::of(steps)}};
    }
}
