#include "lines.h"

namespace Lines {

QStringList split(const QString &text, Ends ends)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            lines.append(text.mid(start, i - start));
            if (i + 1 < size && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        } else if (c == u'\n' && ends == Ends::CrCrLfOrLf) {
            lines.append(text.mid(start, i - start));
            start = i + 1;
        }
        ++i;
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

} // namespace Lines
