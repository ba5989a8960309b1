#include "cli/CliOutput.h"

#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

bool readerLeft = false;

void put(std::FILE *stream, const QByteArray &bytes)
{
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0)
        return;
    // SIGPIPE is ignored, so a reader that went away shows here as EPIPE.
    if (errno == EPIPE)
        readerLeft = true;
    std::clearerr(stream);
}

} // namespace

CliOutput::CliOutput(bool json)
    : asJson(json)
{}

void CliOutput::result(const QJsonObject &object, const QString &text) const
{
    if (asJson) {
        put(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
        return;
    }
    if (text.isEmpty())
        return;
    put(stdout, (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8());
}

void CliOutput::message(const QString &text) const
{
    lastMessage = text;
    put(stderr, QStringLiteral("dosetta-cli: %1\n").arg(text).toUtf8());
}

void CliOutput::messages(const QStringList &texts) const
{
    for (const QString &text : texts)
        message(text);
    if (!texts.isEmpty())
        lastMessage = texts.constFirst();
}

void CliOutput::failure(int exitStatus) const
{
    if (!asJson)
        return;
    QJsonObject object = failureFields;
    QString error = lastMessage;
    if (!causeMessage.isEmpty() && causeMessage != lastMessage)
        error = causeMessage + QStringLiteral("; ") + lastMessage;
    const QJsonObject fields{
        {QStringLiteral("ok"), false},
        {QStringLiteral("error"), error.isEmpty() ? QJsonValue(QJsonValue::Null) : error},
        {QStringLiteral("exit"), exitStatus}};
    for (auto it = fields.begin(); it != fields.end(); ++it)
        object.insert(it.key(), it.value());
    put(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void CliOutput::addToFailure(const QJsonObject &fields) const
{
    for (auto it = fields.begin(); it != fields.end(); ++it)
        failureFields.insert(it.key(), it.value());
}

void CliOutput::cause(const QString &text, const QJsonObject &fields) const
{
    message(text);
    causeMessage = text;
    addToFailure(fields);
}

void CliOutput::progress(const QString &text) const
{
    put(stderr, text.toUtf8());
}

void CliOutput::text(const QString &text)
{
    put(stdout, text.toUtf8());
}

bool CliOutput::readerGone()
{
    return readerLeft;
}

bool CliOutput::errorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}
