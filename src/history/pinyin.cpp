#include "pinyin.h"

#include <QStringList>
#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <utility>

namespace Pinyin {

namespace {

    // ICU transliterators are costly to make and not safe to share between threads.
    icu::Transliterator *transliterator()
    {
        thread_local std::unique_ptr<icu::Transliterator> instance = [] {
            UErrorCode status = U_ZERO_ERROR;
            std::unique_ptr<icu::Transliterator> t(icu::Transliterator::createInstance(
                icu::UnicodeString::fromUTF8("Han-Latin; Latin-ASCII"), UTRANS_FORWARD, status));
            return U_SUCCESS(status) ? std::move(t) : nullptr;
        }();
        return instance.get();
    }

    // A run of Han characters as a whole, so that words with their own reading (重庆) get it.
    QStringList syllables(const QString &han)
    {
        icu::Transliterator *t = transliterator();
        if (!t)
            return {};
        icu::UnicodeString text(reinterpret_cast<const UChar *>(han.utf16()), int32_t(han.size()));
        t->transliterate(text);
        QStringList out;
        QString current;
        for (int32_t i = 0; i < text.length(); ++i) {
            const char16_t c = text.charAt(i);
            if (c >= u'a' && c <= u'z') {
                current.append(QChar(c));
            } else if (c >= u'A' && c <= u'Z') {
                current.append(QChar(c + (u'a' - u'A')));
            } else if (!current.isEmpty()) {
                out.append(current);
                current.clear();
            }
        }
        if (!current.isEmpty())
            out.append(current);
        return out;
    }

} // namespace

Keys of(const QString &title)
{
    Keys keys;
    bool anyHan = false;
    QString word;
    QString han;
    const auto add = [&keys](const QString &part) {
        keys.full += part;
        keys.initials += part.front();
    };
    // Letters and digits are typed as they are, in the initials too ("QQ邮箱" is "qqyx").
    const auto endWord = [&] {
        if (word.isEmpty())
            return;
        keys.full += word;
        keys.initials += std::exchange(word, {});
    };
    const auto endHan = [&] {
        if (han.isEmpty())
            return;
        for (const QString &s : syllables(std::exchange(han, {}))) {
            anyHan = true;
            add(s);
        }
    };
    const QList<uint> points = title.toUcs4();
    for (const uint point : points) {
        const char32_t c = char32_t(point);
        if (QChar::script(c) == QChar::Script_Han) {
            endWord();
            han += QString::fromUcs4(&c, 1);
        } else if (c < 0x80 && QChar::isLetterOrNumber(c)) {
            endHan();
            word += QChar(char16_t(c)).toLower();
        } else {
            endHan();
            endWord();
        }
    }
    endHan();
    endWord();
    if (!anyHan)
        return {};
    return keys;
}

bool looksLikePinyin(const QString &typed)
{
    bool letters = false;
    for (const QChar c : typed) {
        if (c.isSpace())
            continue;
        if (c.unicode() >= 0x80 || !c.isLetter())
            return false;
        letters = true;
    }
    return letters;
}

} // namespace Pinyin
