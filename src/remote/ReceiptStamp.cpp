#include "remote/ReceiptStamp.h"

#include <chrono>

#include <unistd.h>

bool ReceiptStamp::enabled()
{
    static const bool on = qEnvironmentVariableIntValue("DOSETTA_RECEIPT_STAMPS") == 1;
    return on;
}

QByteArray ReceiptStamp::line(qint64 epochUs, const QString &topic, const QByteArray &correlation)
{
    QByteArray text = "receipt " + QByteArray::number(epochUs / 1000) + '.' +
                      QByteArray::number(epochUs % 1000).rightJustified(3, '0') + ' ' +
                      topic.toUtf8().toPercentEncoding("/+#") + ' ' +
                      correlation.toPercentEncoding() + '\n';
    return text;
}

void ReceiptStamp::note(const QString &topic, const QByteArray &correlation)
{
    if (!enabled())
        return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const QByteArray text = line(std::chrono::duration_cast<std::chrono::microseconds>(now).count(),
                                 topic, correlation);
    // Nothing to do about a failed write to standard error.
    [[maybe_unused]] const ssize_t written =
        ::write(STDERR_FILENO, text.constData(), static_cast<size_t>(text.size()));
}
