#include "startup.h"

#include "bookmarksmenu.h"
#include "commandline.h"
#include "datafolder.h"
#include "dialogs.h"
#include "failure.h"
#include "form1.h"
#include "handoff.h"
#include "language.h"
#include "pageset.h"
#include "processinfo.h"
#include "screenasker.h"
#include "sessionkeeper.h"
#include "skin.h"
#include "webbrowser.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace Startup {

namespace {

    using ProcessInfo::trace;

    // Traces the first paint of the window it watches, then steps aside.
    class FirstPaintTrace final : public QObject
    {
    public:
        using QObject::QObject;

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint) {
                trace("painted");
                watched->removeEventFilter(this);
            }
            return false;
        }
    };

    // Whether a person is at the screen, decided once: runs under test or on a server set
    // KOVALIS_UNATTENDED, and everything that would ask the user is then handed an answer that
    // refuses and logs instead.
    struct Attendance
    {
        bool attended = qEnvironmentVariableIsEmpty("KOVALIS_UNATTENDED");

        std::unique_ptr<Dialogs> dialogs() const
        {
            if (attended)
                return std::make_unique<QtDialogs>();
            return std::make_unique<UnattendedDialogs>();
        }
        std::unique_ptr<Asker> asker() const
        {
            if (attended)
                return std::make_unique<ScreenAsker>();
            return std::make_unique<UnattendedAsker>();
        }
    };

    // Shows one message in a process that has no window yet. With nobody at the screen it needs
    // no display at all.
    void message(const Attendance &attendance, int &argc, char **argv, const QString &text)
    {
        if (!attendance.attended) {
            UnattendedDialogs().MsgBox(text);
            return;
        }
        QApplication app(argc, argv);
        Language::useChinese();
        QtDialogs().MsgBox(text);
    }

    int handOver(const Attendance &attendance, int &argc, char **argv, const QString &dataFolder,
        const QString &commandLine)
    {
        if (commandLine.isEmpty()) {
            message(attendance, argc, argv, QStringLiteral("你已经打开了一个Kovalis."));
            return 0;
        }
        QString error;
        if (handOverCommandLine(dataFolder, commandLine, &error) == HandoffResult::Accepted)
            return 0;
        message(attendance, argc, argv, error);
        return 1;
    }

    bool sandboxRefusesRoot()
    {
#ifdef Q_OS_UNIX
        return geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX");
#else
        return false;
#endif
    }

    void attachSkin()
    {
        const QByteArray skin = loadSkinResource();
        SkinH_AttachRes(
            reinterpret_cast<const unsigned char *>(skin.constData()), int(skin.size()), 0, 0, 0, 0);
        SkinH_Attach();
        SkinH_AdjustHSV(0, 0, 0);
    }

} // namespace

int run(int argc, char **argv)
{
    trace("browser");
    const Attendance attendance;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (CommandLine::asksForHelp(arguments)) {
        std::fputs(CommandLine::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QString programFolder = ProcessInfo::startingFolder(ProcessInfo::programFolder(argv[0]));
    if (CommandLine::asksForVersion(arguments)) {
        std::printf("Kovalis %s, %s\n数据文件夹 Data folder: %s\n", KOVALIS_VERSION_TEXT,
            qPrintable(WebBrowser::engineVersion()),
            QDir::toNativeSeparators(DataFolder::choose(programFolder)).toLocal8Bit().constData());
        return 0;
    }
    // The small program in front of us already tried to hand over and failed: say why.
    const QByteArray handoffError = qgetenv("KOVALIS_HANDOFF_ERROR");
    if (!handoffError.isEmpty()) {
        qunsetenv("KOVALIS_HANDOFF_ERROR");
        message(attendance, argc, argv, QString::fromUtf8(handoffError));
        return 1;
    }
    const QString commandLine = CommandLine::join(arguments);

    // Decided once, before anything starts the engine or reaches the display; every room gets it,
    // and the single instance is the data folder's.
    const bool portable = DataFolder::isPortable(programFolder);
    QString dataFolder;
    std::unique_ptr<SingleInstance> instance;
    try {
        dataFolder = DataFolder::prepare(portable ? programFolder : DataFolder::userFolder());
        if (BookmarksMenu::isCommandLine(arguments)) {
            // Bookmarks in or out for scripts: no window, and a running browser is left alone.
            const QCoreApplication core(argc, argv);
            return BookmarksMenu::commandLine(arguments, dataFolder);
        }
        instance = std::make_unique<SingleInstance>(dataFolder);
        if (!instance->tryLock())
            return handOver(attendance, argc, argv, dataFolder, commandLine);
    } catch (const Failure &failure) {
        message(attendance, argc, argv, failure.description());
        return 1;
    }

    if (sandboxRefusesRoot()) {
        std::fprintf(stderr,
            "kovalis: running as root needs QTWEBENGINE_DISABLE_SANDBOX=1 (the web engine's sandbox "
            "cannot run as root); start it as an ordinary user or set the variable.\n");
        return 1;
    }

    WebBrowser::chooseSceneGraph(arguments);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // No organisation name: the engine's own files then go to the user data folder itself.
    QApplication::setApplicationName(QStringLiteral("Kovalis"));
    QApplication::setDesktopFileName(QStringLiteral("kovalis"));
    QApplication::setApplicationVersion(QStringLiteral(KOVALIS_VERSION_TEXT));
    trace("application");
    Language::useChinese();
    trace("language");

    const std::unique_ptr<Dialogs> dialogs = attendance.dialogs();
    const std::unique_ptr<Asker> asker = attendance.asker();
    try {
        // Second starts may knock from now on; what they send waits until the window is loaded.
        instance->listen();
    } catch (const Failure &failure) {
        dialogs->MsgBox(failure.description());
        return 1;
    }

    WebBrowser::storageFolder = dataFolder + QStringLiteral("/QtWebEngine/kovalis");
    // A portable copy keeps the engine's cache beside it too, apart from the user's cache folder.
    if (portable)
        WebBrowser::cacheFolder = dataFolder + QStringLiteral("/QtWebEngine/kovalis-cache");
    attachSkin();
    trace("skin");
    const QString argument = CommandLine::makeAbsoluteIfExistingFile(
        CommandLine::withoutQuotes(commandLine), QDir::currentPath());
    Form1 form(dataFolder, WebBrowser::factory(*asker, *dialogs), *dialogs, argument);
    form.session().setAskUser(attendance.attended);
    trace("window");
    if (!form.Form_Load(argument))
        return 1;
    // A second start is answered once its string is taken over, before the page is made.
    instance->setReceiveHandler([&form](const QString &text) {
        return Handover { true, form.takeOver(text) };
    });
    trace("loaded");
    FirstPaintTrace firstPaint;
    if (!qEnvironmentVariableIsEmpty("KOVALIS_TRACE"))
        form.installEventFilter(&firstPaint);
    form.show();
    QTimer::singleShot(0, &form, [] { trace("shown"); });
    return app.exec();
}

} // namespace Startup
