#pragma once

#include <QString>

// The pinyin of a title, worked out once when an entry is stored so that matching a typed
// "bd" or "baidu" against 百度 costs no more than a substring search.
namespace Pinyin {

struct Keys
{
    QString full; // every syllable and ASCII word, lower case, run together: "baiduyixia"
    QString initials; // the first letter of each syllable, ASCII words whole: "bdyx", "qqyx"
};

// Han characters become their syllables through ICU; letters and digits stay as words.
// Titles without Han characters give empty keys (the title itself already matches).
Keys of(const QString &title);

// Whether typed text can be pinyin at all: ASCII letters, maybe with blanks.
bool looksLikePinyin(const QString &typed);

} // namespace Pinyin
