#include "startup.h"

#include "commandline.h"
#include "dialogs.h"
#include "failure.h"
#include "form1.h"
#include "handoff.h"
#include "processinfo.h"
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

    // Shows one message in a process that has no window yet. With nobody at the screen it needs
    // no display at all.
    void message(int &argc, char **argv, const QString &text)
    {
        if (QtDialogs::unattended()) {
            showStandaloneMessage(text);
            return;
        }
        QApplication app(argc, argv);
        showStandaloneMessage(text);
    }

    int handOver(int &argc, char **argv, const QString &programFolder, const QString &commandLine)
    {
        if (commandLine.isEmpty()) {
            message(argc, argv, QStringLiteral("你已经打开了一个Kovalis."));
            return 0;
        }
        QString error;
        const QString text = CommandLine::makeAbsoluteIfExistingFile(
            CommandLine::withoutQuotes(commandLine), QDir::currentPath());
        if (sendToRunningInstance(programFolder, text, 5000, &error) == HandoffResult::Accepted) {
            trace("handed-over");
            return 0;
        }
        message(argc, argv, error);
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
    trace("exec");
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments == QStringList { QStringLiteral("--version") }) {
        std::printf("Kovalis %s, %s\n", KOVALIS_VERSION_TEXT, qPrintable(WebBrowser::engineVersion()));
        return 0;
    }
    // The small program in front of us already tried to hand over and failed: say why.
    const QByteArray handoffError = qgetenv("KOVALIS_HANDOFF_ERROR");
    if (!handoffError.isEmpty()) {
        qunsetenv("KOVALIS_HANDOFF_ERROR");
        message(argc, argv, QString::fromUtf8(handoffError));
        return 1;
    }
    const QString commandLine = CommandLine::join(arguments);
    const QString programFolder = ProcessInfo::programFolder(argv[0]);

    // Decided before anything starts the engine or reaches the display.
    SingleInstance instance(programFolder);
    try {
        if (!instance.tryLock())
            return handOver(argc, argv, programFolder, commandLine);
    } catch (const Failure &failure) {
        message(argc, argv, failure.description());
        return 1;
    }

    if (sandboxRefusesRoot()) {
        std::fprintf(stderr,
            "kovalis: running as root needs QTWEBENGINE_DISABLE_SANDBOX=1 (the web engine's sandbox "
            "cannot run as root); start it as an ordinary user or set the variable.\n");
        return 1;
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kovalis"));
    QApplication::setOrganizationName(QStringLiteral("Kovalis"));
    QApplication::setApplicationVersion(QStringLiteral(KOVALIS_VERSION_TEXT));
    trace("application");

    QtDialogs dialogs;
    try {
        // Second starts may knock from now on; what they send waits until the window is loaded.
        instance.listen();
    } catch (const Failure &failure) {
        dialogs.MsgBox(failure.description());
        return 1;
    }

    attachSkin();
    Form1 form(programFolder, WebBrowser::factory(), dialogs);
    trace("window");
    const QString argument = CommandLine::makeAbsoluteIfExistingFile(
        CommandLine::withoutQuotes(commandLine), QDir::currentPath());
    if (!form.Form_Load(argument))
        return 1;
    instance.setExecuteHandler([&form](const QString &text) { return form.Form_LinkExecute(text); });
    trace("loaded");
    FirstPaintTrace firstPaint;
    if (!qEnvironmentVariableIsEmpty("KOVALIS_TRACE"))
        form.installEventFilter(&firstPaint);
    form.show();
    QTimer::singleShot(0, &form, [] { trace("shown"); });
    return app.exec();
}

} // namespace Startup
