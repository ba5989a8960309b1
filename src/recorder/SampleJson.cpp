#include "recorder/SampleJson.h"

#include "recorder/CsvFormat.h"

#include <QJsonArray>

namespace {

QJsonValue scaled(const std::optional<qint64> &value, double divisor)
{
    return value ? QJsonValue(static_cast<double>(*value) / divisor) : QJsonValue();
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue flags(const std::optional<QStringList> &texts)
{
    return texts ? QJsonValue(QJsonArray::fromStringList(*texts)) : QJsonValue();
}

} // namespace

QJsonObject SampleJson::object(const ProcessSample &sample, qint64 startMs)
{
    const QJsonValue values[] = {
        CsvFormat::isoUtc(sample.timeMs),
        static_cast<double>(sample.timeMs - startMs) / 1000.0,
        textOrNull(ProcessSample::linkText(sample.link)),
        ProcessSample::runStateText(sample.runState),
        textOrNull(ProcessSample::modeText(sample.mode)),
        scaled(sample.flowRate, 1000),
        scaled(sample.volumeTarget, 1000),
        scaled(sample.volumeDelivered, 1000),
        // The pump counts hundredths of a second.
        scaled(sample.timeElapsedMs ? std::optional<qint64>(*sample.timeElapsedMs / 10)
                                    : std::nullopt,
               100),
        sample.dispenseTimeS ? QJsonValue(static_cast<double>(*sample.dispenseTimeS))
                             : QJsonValue(),
        flags(sample.status),
        flags(sample.errors),
        // Empty, not null, without a program: there is no program, not an unknown one.
        sample.program,
        sample.step,
    };
    const QStringList names = CsvFormat::columns();
    QJsonObject object;
    for (int i = 0; i < names.size(); ++i)
        object.insert(names.at(i), values[i]);
    return object;
}
