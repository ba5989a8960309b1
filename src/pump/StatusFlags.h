#pragma once

#include <QStringList>

#include <array>
#include <optional>

namespace Pump {

// Which bit of which status group lights which flag of the Status tab, under which text. The
// window's bullets and the recorder's status and error columns read this one table.
class StatusFlags
{
public:
    enum class Kind { Status, Error };

    struct Flag
    {
        Kind kind;
        int group;
        int bit;
        bool litWhenSet;       // false: the flag shows while the bit is clear
        const char *text;      // as on the screen
        const char *iconLabel; // object names of the bullet and the text beside it
        const char *textLabel;
    };

    static constexpr int Count = 16;
    static constexpr int ErrorGroup = 6;

    static const std::array<Flag, Count> &flags();

    static bool lit(const Flag &flag, int statusWord)
    {
        return bit(flag, statusWord) == flag.litWhenSet;
    }
    // A lit flag that says something is wrong: every error flag, and the status flag "Pump error"
    // (group 1, bit 1), which the pump sets with any error bit.
    static bool alarm(const Flag &flag)
    {
        return flag.kind == Kind::Error || (flag.group == 1 && flag.bit == 1);
    }
    // "No error" shows while none of the eight error bits is set.
    // Whether the lit status flags (by their screen texts) hold the one the pump sets with any
    // error; the error flags that name it are read less often.
    static bool alarmLit(const std::optional<QStringList> &litStatus);
    static bool noError(int errorWord) { return (errorWord & 0xFF) == 0; }

    // The texts of the flags of that kind that are lit, in table order. words.word(group) gives
    // the status word of a group; flags of a group for which words.known(group) is false are
    // left out.
    template<class Words>
    static QStringList litTexts(Kind kind, const Words &words)
    {
        QStringList texts;
        for (const Flag &flag : flags()) {
            if (flag.kind == kind && words.known(flag.group) && lit(flag, words.word(flag.group)))
                texts << QLatin1String(flag.text);
        }
        return texts;
    }

private:
    static bool bit(const Flag &flag, int statusWord) { return (statusWord >> flag.bit) & 1; }
};

} // namespace Pump
