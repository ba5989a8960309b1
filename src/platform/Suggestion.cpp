#include "platform/Suggestion.h"

#include <algorithm>
#include <vector>

int Suggestion::distance(const QString &a, const QString &b)
{
    // Two neighbours typed the wrong way round count as one slip, like one wrong letter.
    const QString x = a.toLower();
    const QString y = b.toLower();
    const auto w = static_cast<std::size_t>(y.size()) + 1;
    std::vector<int> d((static_cast<std::size_t>(x.size()) + 1) * w);
    const auto at = [w](int i, int j) {
        return static_cast<std::size_t>(i) * w + static_cast<std::size_t>(j);
    };
    for (int i = 0; i <= x.size(); ++i)
        d[at(i, 0)] = i;
    for (int j = 0; j <= y.size(); ++j)
        d[at(0, j)] = j;
    for (int i = 1; i <= x.size(); ++i) {
        for (int j = 1; j <= y.size(); ++j) {
            const int cost = x.at(i - 1) == y.at(j - 1) ? 0 : 1;
            int best =
                std::min({d[at(i - 1, j)] + 1, d[at(i, j - 1)] + 1, d[at(i - 1, j - 1)] + cost});
            if (i > 1 && j > 1 && x.at(i - 1) == y.at(j - 2) && x.at(i - 2) == y.at(j - 1))
                best = std::min(best, d[at(i - 2, j - 2)] + 1);
            d[at(i, j)] = best;
        }
    }
    return d[at(x.size(), y.size())];
}

QString Suggestion::closest(const QString &word, const QStringList &known)
{
    // Typed words are short; a long one is no slip, and comparing it would cost for nothing.
    if (word.isEmpty() || word.size() > 64)
        return {};
    QString best;
    int bestDistance = 3;
    for (const QString &candidate : known) {
        const int d = distance(word, candidate);
        if (d < bestDistance && d * 3 < std::max(word.size(), candidate.size())) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}

QString Suggestion::hint(const QString &word, const QStringList &known)
{
    const QString best = closest(word, known);
    return best.isEmpty() ? QString() : QStringLiteral(" (did you mean \"%1\"?)").arg(best);
}
