#include "downloads.h"

#include "asker.h"
#include "pagetext.h"
#include "webbrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

// Where a download is first proposed: the user's download folder and the page's name cleaned,
// numbered like "报告 (1).pdf" while a file of that name is there.
QString proposedPath(const QString &pageName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    const QString name = PageText::fileName(pageName);
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(name)))
        return dir.filePath(name);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = dir.filePath(QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

// The site that started a download: the page the user sees, else the file's own address.
QString siteOf(QWebEngineDownloadRequest *request)
{
    const QWebEnginePage *page = request->page();
    const QUrl url = page && !page->url().isEmpty() ? page->url() : request->url();
    return PageText::site(url.toString());
}

WebBrowser *ownerOf(QWebEngineDownloadRequest *request)
{
    QWebEnginePage *page = request->page();
    return page ? qobject_cast<WebBrowser *>(page->parent()) : nullptr;
}

QString progressText(const QString &name, qint64 received, qint64 total)
{
    const QLocale locale;
    if (total > 0)
        return QStringLiteral("正在下载 %1：%2%（%3 / %4）")
            .arg(name)
            .arg(received * 100 / total)
            .arg(locale.formattedDataSize(received), locale.formattedDataSize(total));
    return QStringLiteral("正在下载 %1：已收到 %2").arg(name, locale.formattedDataSize(received));
}

} // namespace

Downloads::Downloads(QWebEngineProfile *profile)
    : QObject(profile)
{
    connect(profile, &QWebEngineProfile::downloadRequested, this, &Downloads::start);
}

void Downloads::start(QWebEngineDownloadRequest *request)
{
    WebBrowser *owner = ownerOf(request);
    if (owner)
        owner->noteDownload();
    // The engine's folder is the download folder joined with whatever name the page gave,
    // "../" and "/etc/" included: only the last segment of the two together is the page's
    // proposal, and it goes into the user's download folder.
    const QString pageName = request->downloadDirectory() + QLatin1Char('/') + request->downloadFileName();
    const QString suggested = proposedPath(pageName);
    QWidget *parent = owner ? owner->widget()->window() : nullptr;

    // The request lives only as long as this signal unless it is accepted; it must be
    // answered before returning, and is never left unanswered. A download a page starts by
    // itself is asked about all the same; one no page started has nobody to ask and is cancelled.
    const QString path = owner ? owner->asker().savePath(parent, suggested, siteOf(request)) : QString();
    if (path.isEmpty()) {
        request->cancel();
        if (owner)
            owner->showStatus(QStringLiteral("已取消下载 %1").arg(QFileInfo(suggested).fileName()));
        return;
    }
    const QFileInfo target(path);
    const QFileInfo folderInfo(target.absolutePath());
    if (!folderInfo.isDir() || !folderInfo.isWritable()) {
        // The engine would only report such a download as cancelled.
        request->cancel();
        if (owner)
            owner->showStatus(QStringLiteral("下载 %1 失败：无法写入文件夹“%2”")
                                  .arg(target.fileName(), QDir::toNativeSeparators(target.absolutePath())));
        return;
    }
    request->setDownloadDirectory(target.absolutePath());
    request->setDownloadFileName(target.fileName());
    follow(request, owner);
    request->accept();
}

void Downloads::follow(QWebEngineDownloadRequest *request, WebBrowser *owner)
{
    QPointer<WebBrowser> status(owner);
    const QString name = request->downloadFileName();
    const QString path = QDir(request->downloadDirectory()).filePath(name);
    auto say = [status](const QString &text) {
        if (status)
            status->showStatus(text);
    };
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, [request, name, say] {
        if (request->state() == QWebEngineDownloadRequest::DownloadInProgress)
            say(progressText(name, request->receivedBytes(), request->totalBytes()));
    });
    connect(request, &QWebEngineDownloadRequest::stateChanged, this,
        [request, name, path, say](QWebEngineDownloadRequest::DownloadState state) {
            switch (state) {
            case QWebEngineDownloadRequest::DownloadCompleted:
                say(QStringLiteral("下载完成：%1").arg(QDir::toNativeSeparators(path)));
                break;
            case QWebEngineDownloadRequest::DownloadCancelled:
                if (request->interruptReason() != QWebEngineDownloadRequest::NoReason)
                    say(QStringLiteral("下载 %1 失败：%2").arg(name, request->interruptReasonString()));
                else
                    say(QStringLiteral("已取消下载 %1").arg(name));
                break;
            case QWebEngineDownloadRequest::DownloadInterrupted:
                say(QStringLiteral("下载 %1 失败：%2").arg(name, request->interruptReasonString()));
                break;
            default:
                break;
            }
        });
    say(progressText(name, 0, request->totalBytes()));
}
