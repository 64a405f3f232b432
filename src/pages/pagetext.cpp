#include "pagetext.h"

#include <QFile>
#include <QUrl>

namespace {

bool hidden(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate:
    case QChar::Other_NotAssigned:
        return true;
    default:
        return false;
    }
}

constexpr qsizetype kNameBytes = 200;

// One character as text; QString::fromUcs4 would take U+FEFF for a byte-order mark and drop it.
QString text(char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        const QChar pair[] = { QChar(QChar::highSurrogate(c)), QChar(QChar::lowSurrogate(c)) };
        return QString(pair, 2);
    }
    return QString(QChar(char16_t(c)));
}

} // namespace

namespace PageText {

QString address(const QString &address)
{
    QString shown;
    shown.reserve(address.size());
    for (const char32_t c : address.toUcs4()) {
        const QString one = text(c);
        if (hidden(c))
            shown += QString::fromLatin1(QUrl::toPercentEncoding(one));
        else
            shown += one;
    }
    return shown;
}

QString fileName(const QString &proposed)
{
    QString name;
    for (const char32_t c : proposed.toUcs4()) {
        if (c == U'/' || c == U'\\') {
            name.clear(); // only the last segment counts
            continue;
        }
        if (!hidden(c))
            name += text(c);
    }
    // Leading dots hide a file or climb out of the folder; trailing ones and spaces are lost
    // on some file systems.
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == u'.' || name.at(start).isSpace()))
        ++start;
    name = name.mid(start);
    while (!name.isEmpty() && (name.endsWith(u'.') || name.back().isSpace()))
        name.chop(1);
    if (QFile::encodeName(name).size() > kNameBytes) {
        // Keep the extension when it is short, so the file still opens with the right program.
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString extension = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QString();
        QString stem = name.left(name.size() - extension.size());
        while (!stem.isEmpty() && QFile::encodeName(stem + extension).size() > kNameBytes)
            stem.chop(stem.back().isLowSurrogate() && stem.size() > 1 ? 2 : 1);
        name = stem + extension;
    }
    return name.isEmpty() ? QStringLiteral("下载") : name;
}

QString site(const QString &url)
{
    const QUrl parsed(url);
    if (parsed.host().isEmpty())
        return address(url);
    QString shown = parsed.host();
    if (parsed.port() != -1)
        shown += QStringLiteral(":%1").arg(parsed.port());
    return address(shown);
}

} // namespace PageText
