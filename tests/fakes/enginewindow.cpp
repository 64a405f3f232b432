#include "enginewindow.h"

#include "language.h"
#include "pageset.h"
#include "webbrowser.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

EngineWindow::EngineWindow()
    : form(std::make_unique<Form1>(folder.path(), WebBrowser::factory(asker, dialogs), dialogs))
{
    form->resize(800, 600);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the main window did not become active");
}

EngineWindow::~EngineWindow() = default;

PageSet &EngineWindow::pages()
{
    return form->pages();
}

QTabBar *EngineWindow::tabs() const
{
    return form->findChild<QTabBar *>(QStringLiteral("TabStrip1"));
}

QLineEdit *EngineWindow::Text1() const
{
    return form->findChild<QLineEdit *>(QStringLiteral("Text1"));
}

QLabel *EngineWindow::statusPanel() const
{
    return form->findChild<QLabel *>(QStringLiteral("StatusPanel1"));
}

QString EngineWindow::status() const
{
    return statusPanel()->text();
}

WebBrowser *EngineWindow::web(qint16 page)
{
    return static_cast<WebBrowser *>(pages().browser(page));
}

WebBrowser *EngineWindow::front()
{
    return static_cast<WebBrowser *>(pages().current());
}

QByteArray EngineWindow::page(const QByteArray &title, const QByteArray &body)
{
    return "<!doctype html><html><head><meta charset=utf-8><title>" + title + "</title></head><body>" + body
        + "</body></html>";
}

int runEngineTest(QObject &test, int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // As the program starts.
    Language::useChinese();
    return QTest::qExec(&test, argc, argv);
}
