#include "downloads.h"

#include "dialogs.h"
#include "webbrowser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

Downloads::SaveDialog &saveDialogForTests()
{
    static Downloads::SaveDialog dialog;
    return dialog;
}

QString askSavePath(QWidget *parent, const QString &suggested)
{
    if (saveDialogForTests())
        return saveDialogForTests()(suggested);
    // With nobody at the screen a download is cancelled, never saved unasked.
    if (QtDialogs::unattended())
        return QString();
    return QFileDialog::getSaveFileName(parent, QStringLiteral("保存文件"), suggested);
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

void Downloads::setSaveDialogForTests(SaveDialog dialog)
{
    saveDialogForTests() = std::move(dialog);
}

void Downloads::start(QWebEngineDownloadRequest *request)
{
    WebBrowser *owner = ownerOf(request);
    QString folder = request->downloadDirectory();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QString suggested = QDir(folder).filePath(request->downloadFileName());
    QWidget *parent = owner ? owner->widget()->window() : nullptr;

    // The request lives only as long as this signal unless it is accepted; it must be
    // answered before returning, and is never left unanswered.
    const QString path = askSavePath(parent, suggested);
    if (path.isEmpty()) {
        request->cancel();
        if (owner)
            owner->showStatus(QStringLiteral("已取消下载 %1").arg(request->downloadFileName()));
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
