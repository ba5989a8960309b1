#include "balance/BalanceReader.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cmath>

bool BalanceReader::open(const QString &name, qint32 baud)
{
    port.setPortName(name);
    port.setBaudRate(baud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        problem = QStringLiteral("the balance's port %1 cannot be opened: %2")
                      .arg(name, port.errorString());
        return false;
    }
    return true;
}

void BalanceReader::close()
{
    port.close();
}

BalanceReader::Reply BalanceReader::parse(const QByteArray &raw)
{
    Reply r;
    const QByteArray line = raw.trimmed();
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray head = words.value(0);
    if (line == "ES") {
        r.kind = Reply::Kind::Error;
        r.text = QStringLiteral("the balance did not know the command (ES)");
    } else if (line == "ET") {
        r.kind = Reply::Kind::Error;
        r.text = QStringLiteral("the balance received a garbled command (ET)");
    } else if (line == "EL") {
        r.kind = Reply::Kind::Error;
        r.text = QStringLiteral("the balance could not carry out the command (EL)");
    } else if ((head == "S" || head == "SI" || head == "Z") && words.value(1) == "I") {
        r.kind = Reply::Kind::Busy;
    } else if (head == "Z" && words.value(1) == "A") {
        r.kind = Reply::Kind::ZeroDone;
    } else if (head == "S" && (words.value(1) == "+" || words.value(1) == "-")) {
        r.kind = Reply::Kind::Error;
        r.text = words.value(1) == "+" ? QStringLiteral("the balance is overloaded (S +)")
                                       : QStringLiteral("the balance is underloaded (S -)");
    } else if (head == "S" && (words.value(1) == "S" || words.value(1) == "D") &&
               words.size() >= 3) {
        bool ok = false;
        const double grams = words.at(2).toDouble(&ok);
        // Only grams: a weight in another unit would be read as a wrong volume.
        if (ok && std::isfinite(grams) && words.value(3, "g") == "g") {
            r.kind = words.value(1) == "S" ? Reply::Kind::Stable : Reply::Kind::Dynamic;
            r.grams = grams;
            return r;
        }
        r.text = QStringLiteral("the balance sent \"%1\", not a weight in grams")
                     .arg(QString::fromLatin1(line));
    } else {
        r.text = QStringLiteral("the balance sent \"%1\"").arg(QString::fromLatin1(line));
    }
    return r;
}

bool BalanceReader::exchange(const QByteArray &command, qint64 deadlineMs, QByteArray *line)
{
    const QDeadlineTimer deadline(std::max<qint64>(0, deadlineMs));
    port.clear(QSerialPort::Input); // a late answer to an earlier ask is not this one's
    port.write(command + "\r\n");
    port.waitForBytesWritten(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    QByteArray buffer;
    while (!deadline.hasExpired()) {
        if (port.bytesAvailable() == 0 &&
            !port.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            continue;
        buffer += port.read(MaxLine);
        const int end = buffer.indexOf('\n');
        if (end >= 0) {
            *line = buffer.left(end);
            return true;
        }
        if (buffer.size() > MaxLine) {
            *line = buffer.left(MaxLine);
            return true; // classified as garbled
        }
    }
    return false;
}

bool BalanceReader::zero(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QByteArray line;
        if (!exchange("Z", deadline.remainingTime(), &line)) {
            problem = QStringLiteral("the balance did not zero within %1 s: check its cable, its "
                                     "port and that it is on")
                          .arg(timeoutMs / 1000.0, 0, 'f', 1);
            return false;
        }
        const Reply r = parse(line);
        if (r.kind == Reply::Kind::ZeroDone)
            return true;
        if (r.kind != Reply::Kind::Busy) {
            problem = r.text;
            return false;
        }
        if (deadline.remainingTime() < RetryMs) {
            problem = QStringLiteral("the balance did not settle to zero within %1 s")
                          .arg(timeoutMs / 1000.0, 0, 'f', 1);
            return false;
        }
        QThread::msleep(RetryMs);
    }
}

BalanceReader::Reading BalanceReader::stableWeight(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    Reading out;
    bool answered = false;
    while (true) {
        QByteArray line;
        if (!exchange("S", deadline.remainingTime(), &line)) {
            out.error = answered ? QStringLiteral("the weight did not settle within %1 s: is "
                                                  "the pump still running, or the balance in "
                                                  "a draught?")
                                       .arg(timeoutMs / 1000.0, 0, 'f', 1)
                                 : QStringLiteral("the balance did not answer within %1 s: "
                                                  "check its cable, its port and that it is on")
                                       .arg(timeoutMs / 1000.0, 0, 'f', 1);
            return out;
        }
        answered = true;
        const Reply r = parse(line);
        if (r.kind == Reply::Kind::Stable) {
            out.ok = true;
            out.grams = r.grams;
            return out;
        }
        if (r.kind != Reply::Kind::Dynamic && r.kind != Reply::Kind::Busy) {
            out.error = r.text;
            return out;
        }
        if (deadline.remainingTime() < RetryMs) {
            out.error = QStringLiteral("the weight did not settle within %1 s: is the pump "
                                       "still running, or the balance in a draught?")
                            .arg(timeoutMs / 1000.0, 0, 'f', 1);
            return out;
        }
        QThread::msleep(RetryMs);
    }
}
