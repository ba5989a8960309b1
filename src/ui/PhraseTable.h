#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// English texts composed below the window ("the pump refused %1") shown in the window's
// language. The layers below keep writing English, which dosetta-cli, the journal and the
// network take as it is; the window finds the template a text was made from, translates it and
// fills in its arguments, each shown through the table in turn. A text no template makes is
// shown as it came; an argument no template makes, with the window's decimal separator if it
// begins with a number.
class PhraseTable
{
public:
    // templates: English sources in context, marked with QT_TRANSLATE_NOOP.
    PhraseTable(const char *context, const std::vector<const char *> &templates);

    // Longer texts are shown as they came: matching costs grow with the length, and no text of
    // ours is near it.
    static constexpr int MaxChars = 2000;

    QString shown(const QString &english) const;
    // Texts joined with separator ("; "), each shown by itself.
    QString shownJoined(const QString &english, const QString &separator) const;

private:
    // None when no template makes the text.
    std::optional<QString> fromTemplate(const QString &english) const;
    QString argument(const QString &english) const;

    struct Entry
    {
        const char *source;
        QRegularExpression pattern; // anchored, each %n a lazy group
        std::vector<int> args;      // which %n each group is
        int fixed;                  // characters of its own, besides the arguments
    };
    const char *context;
    std::vector<Entry> entries;
};
