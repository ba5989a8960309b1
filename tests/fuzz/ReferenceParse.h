#pragma once

#include <QString>

#include <cstdlib>
#include <optional>
#include <string>

// Number parsing written from the rules, not from the code under test: fuzz targets compare the
// program's decodings with these. Blanks are Unicode white space at either end; digits, sign,
// point and exponent are ASCII only.
class ReferenceParse
{
public:
    // Optional sign and one or more decimal digits; nothing when that is not the whole text or
    // the number does not fit an int.
    static std::optional<int> integer(const QString &text)
    {
        const QString t = trimmed(text);
        int i = 0;
        bool negative = false;
        if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
            negative = t.at(i) == QLatin1Char('-');
            ++i;
        }
        if (i == t.size())
            return std::nullopt;
        long long magnitude = 0;
        for (; i < t.size(); ++i) {
            const char16_t c = t.at(i).unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            magnitude = magnitude * 10 + (c - u'0');
            if (magnitude > 2147483648LL)
                return std::nullopt;
        }
        const long long value = negative ? -magnitude : magnitude;
        if (value > 2147483647LL)
            return std::nullopt;
        return static_cast<int>(value);
    }

    // A plain decimal: [sign] digits [. digits] or [sign] . digits, then an optional exponent.
    // Nothing for any other text (which may still be a number in some other spelling, such as
    // "inf"). The value is the correctly rounded double, infinite on overflow.
    static std::optional<double> plainDecimal(const QString &text)
    {
        const QString t = trimmed(text);
        std::string ascii;
        ascii.reserve(static_cast<std::size_t>(t.size()));
        for (const QChar c : t) {
            if (c.unicode() > 0x7f)
                return std::nullopt;
            ascii.push_back(static_cast<char>(c.unicode()));
        }
        std::size_t i = 0;
        auto digits = [&] {
            const std::size_t start = i;
            while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9')
                ++i;
            return i - start;
        };
        if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
            ++i;
        std::size_t mantissaDigits = digits();
        if (i < ascii.size() && ascii[i] == '.') {
            ++i;
            mantissaDigits += digits();
        }
        if (mantissaDigits == 0)
            return std::nullopt;
        if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E')) {
            ++i;
            if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-'))
                ++i;
            if (digits() == 0)
                return std::nullopt;
        }
        if (i != ascii.size())
            return std::nullopt;
        return std::strtod(ascii.c_str(), nullptr);
    }

    // Optional sign and one or more ASCII digits, however many: a whole number, fitting an int
    // or not.
    static bool wholeNumber(const QString &text)
    {
        const QString t = trimmed(text);
        int i = t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')) ? 1 : 0;
        if (i == t.size())
            return false;
        for (; i < t.size(); ++i) {
            if (t.at(i).unicode() < u'0' || t.at(i).unicode() > u'9')
                return false;
        }
        return true;
    }

    // A digit 1-9 before any exponent: the text names a number other than zero.
    static bool nonZeroMantissa(const QString &text)
    {
        for (const QChar c : text) {
            if (c == QLatin1Char('e') || c == QLatin1Char('E'))
                return false;
            if (c.unicode() >= u'1' && c.unicode() <= u'9')
                return true;
        }
        return false;
    }

    static bool hasAsciiDigit(const QString &text)
    {
        for (const QChar c : text) {
            if (c.unicode() >= u'0' && c.unicode() <= u'9')
                return true;
        }
        return false;
    }

private:
    static QString trimmed(const QString &text)
    {
        int begin = 0;
        int end = text.size();
        while (begin < end && text.at(begin).isSpace())
            ++begin;
        while (end > begin && text.at(end - 1).isSpace())
            --end;
        return text.mid(begin, end - begin);
    }
};
