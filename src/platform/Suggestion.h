#pragma once

#include <QString>
#include <QStringList>

// "Did you mean": the known word closest to a mistyped one, when it is close enough to be a slip
// of the fingers (at most two letters wrong, and fewer than a third of the word).
class Suggestion
{
public:
    // Empty when nothing is that close.
    static QString closest(const QString &word, const QStringList &known);
    // " (did you mean \"status\"?)" or empty.
    static QString hint(const QString &word, const QStringList &known);
    // Letters to insert, delete or replace to turn one word into the other (case ignored).
    static int distance(const QString &a, const QString &b);
};
