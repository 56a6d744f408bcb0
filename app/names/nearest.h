// The did-you-mean of every message about a mistyped word: a command's
// keyword, a command-line option or sub-command, the nearest of the names
// it could have been.
#ifndef TESSELIN_APP_NAMES_NEAREST_H
#define TESSELIN_APP_NAMES_NEAREST_H

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>
#include <vector>

namespace tesselin {

// Edits (insert, delete, replace, swap two neighbours) from a to b, ignoring
// case: "rnu" is one edit from "run".
inline int EditDistance(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); i++)
        d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= b.size(); j++)
        d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); i++) {
        for (std::size_t j = 1; j <= b.size(); j++) {
            int same = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + same});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The name word is a slip of, or empty: short names tolerate one slip,
// longer ones two, and never as many as the word has letters. On a tie the
// first name wins.
inline std::string_view NearestName(std::string_view word, const std::vector<std::string_view> &names)
{
    std::string_view best;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::string_view name : names) {
        // Lengths further apart than two edits cannot be a slip; a long word
        // (a pasted paragraph) costs nothing.
        if (std::max(word.size(), name.size()) - std::min(word.size(), name.size()) > 2)
            continue;
        int distance = EditDistance(word, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    int allowed = best.size() <= 4 ? 1 : 2;
    if (bestDistance <= allowed && bestDistance < static_cast<int>(word.size()))
        return best;
    return {};
}

} // namespace tesselin

#endif
