#include "texteditor.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool openInTextEditor(const QString &filePath, QString *error)
{
#ifdef Q_OS_WIN
    if (QProcess::startDetached(QStringLiteral("notepad.exe"), { QDir::toNativeSeparators(filePath) }))
        return true;
#else
    // The desktop's own choice of editor for the file comes first.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(filePath)))
        return true;
    const QStringList editors { QStringLiteral("xdg-open"), QStringLiteral("gedit"),
        QStringLiteral("gnome-text-editor"), QStringLiteral("mousepad"), QStringLiteral("kate"),
        QStringLiteral("pluma"), QStringLiteral("deepin-editor"), QStringLiteral("xed") };
    for (const QString &editor : editors) {
        const QString program = QStandardPaths::findExecutable(editor);
        if (!program.isEmpty() && QProcess::startDetached(program, { filePath }))
            return true;
    }
#endif
    if (error)
        *error = QStringLiteral("无法打开文本编辑器来编辑“%1”。请用任意文本编辑器打开它。")
                     .arg(QDir::toNativeSeparators(filePath));
    return false;
}
