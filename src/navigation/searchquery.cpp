#include "searchquery.h"

#include <QUrl>

namespace SearchQuery {

bool acceptable(const QString &searchString)
{
    // The scheme is read from the text itself, so nothing in front of it (a space, a control
    // character) can hide another one.
    const bool web = searchString.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive)
        || searchString.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
    if (!web)
        return false;
    const QUrl url(searchString, QUrl::TolerantMode);
    return url.isValid() && !url.host().isEmpty();
}

QString refusedMessage(const QString &searchString)
{
    return QStringLiteral("搜索串“%1”不是以 http:// 或 https:// 开头的网址，没有添加。\r\n"
                          "搜索串应是搜索结果页的网址，搜索的词接在它后面，例如 https://www.example.com/s?q=")
        .arg(searchString);
}

QString address(const QString &searchString, const QString &words)
{
    return searchString + QString::fromLatin1(QUrl::toPercentEncoding(words));
}

} // namespace SearchQuery
