#include "journal/CanonicalJson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>

QByteArray CanonicalJson::write(const QJsonValue &value)
{
    QByteArray out;
    append(out, value);
    return out;
}

void CanonicalJson::append(QByteArray &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QJsonValue::Double:
        appendNumber(out, value.toDouble());
        return;
    case QJsonValue::String:
        appendString(out, value.toString());
        return;
    case QJsonValue::Array: {
        out += '[';
        const QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i) {
            if (i > 0)
                out += ',';
            append(out, array.at(i));
        }
        out += ']';
        return;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        // QString's order is that of UTF-16 code units, as the scheme asks.
        QStringList names = object.keys();
        std::sort(names.begin(), names.end());
        out += '{';
        for (int i = 0; i < names.size(); ++i) {
            if (i > 0)
                out += ',';
            appendString(out, names.at(i));
            out += ':';
            append(out, object.value(names.at(i)));
        }
        out += '}';
        return;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    out += "null";
}

void CanonicalJson::appendString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    // Bytes of multi-byte characters are all 0x80 and above, so only ASCII needs looking at; the
    // runs between escapes are copied whole.
    const char *run = utf8.constData();
    const char *const end = run + utf8.size();
    for (const char *p = run; p != end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, static_cast<int>(p - run));
        run = p + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xf];
        }
    }
    out.append(run, static_cast<int>(end - run));
    out += '"';
}

void CanonicalJson::appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    if (value == 0) { // -0 too
        out += '0';
        return;
    }
    if (value < 0) {
        out += '-';
        value = -value;
    }
    // The shortest digits that read back as the value, as d.ddde+x; ECMAScript's Number to
    // String then places the point: digits s (k of them) times 10^(n - k).
    const QByteArray e = QByteArray::number(value, 'e', QLocale::FloatingPointShortest);
    const int at = e.indexOf('e');
    QByteArray digits = e.left(at);
    digits.replace(".", "");
    const int k = digits.size();
    const int n = e.mid(at + 1).toInt() + 1;
    if (k <= n && n <= 21) {
        out += digits + QByteArray(n - k, '0');
    } else if (0 < n && n <= 21) {
        out += digits.left(n) + '.' + digits.mid(n);
    } else if (-6 < n && n <= 0) {
        out += "0." + QByteArray(-n, '0') + digits;
    } else {
        out += digits.left(1);
        if (k > 1)
            out += '.' + digits.mid(1);
        out += n - 1 < 0 ? "e-" : "e+";
        out += QByteArray::number(std::abs(n - 1));
    }
}
