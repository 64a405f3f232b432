#include "commandline.h"

#include <QDir>
#include <QFileInfo>

namespace CommandLine {

QString join(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' '));
}

QString withoutQuotes(const QString &commandLine)
{
    return QString(commandLine).remove(QLatin1Char('"'));
}

QString makeAbsoluteIfExistingFile(const QString &argument, const QString &workingFolder)
{
    if (argument.isEmpty() || QDir::isAbsolutePath(argument))
        return argument;
    const QFileInfo file(QDir(workingFolder).filePath(argument));
    return file.isFile() ? QDir::cleanPath(file.absoluteFilePath()) : argument;
}

bool asksForHelp(const QStringList &arguments)
{
    return arguments == QStringList { QStringLiteral("--help") }
    || arguments == QStringList { QStringLiteral("-h") };
}

bool asksForVersion(const QStringList &arguments)
{
    return arguments == QStringList { QStringLiteral("--version") };
}

QString helpText()
{
    return QStringLiteral("用法 Usage: kovalis [网址 | 链接文件 | 文件]\n"
                          "            kovalis [ADDRESS | LINK-FILE | FILE]\n"
                          "\n"
                          "打开一个网址、一个链接文件（.link）或一个本地文件；不给参数时打开主页。\n"
                          "Kovalis 已经打开时，地址交给已经打开的窗口。\n"
                          "Opens an address, a link file (.link) or a local file; with none, the homepage.\n"
                          "When Kovalis is already open, the address goes to the window that is open.\n"
                          "\n"
                          "  --version    版本、浏览器引擎和数据文件夹 / version, engine and data folder\n"
                          "  --help, -h   本说明 / this help\n"
                          "\n"
                          "数据文件夹：程序文件夹里有 portable 文件（或已有 搜索.txt、likepage/）时\n"
                          "在程序旁边，否则在 $XDG_DATA_HOME/Kovalis（通常是 ~/.local/share/Kovalis）。\n"
                          "Data folder: beside the program when its folder holds a file named portable (or\n"
                          "already holds 搜索.txt or likepage/), else $XDG_DATA_HOME/Kovalis, usually\n"
                          "~/.local/share/Kovalis.\n"
                          "\n"
                          "环境变量 Environment:\n"
                          "  KOVALIS_UNATTENDED=1   消息写到标准错误 / messages go to stderr\n"
                          "  KOVALIS_TRACE=1        启动过程写到标准错误 / start-up milestones on stderr\n"
                          "  QTWEBENGINE_DISABLE_SANDBOX=1   以 root 运行时必需 / needed when run as root\n"
                          "  QTWEBENGINE_CHROMIUM_FLAGS      浏览器引擎的开关 / switches for the engine\n"
                          "  QT_QPA_PLATFORM=offscreen       不用屏幕 / no screen\n");
}

} // namespace CommandLine
