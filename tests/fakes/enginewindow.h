#pragma once

#include "form1.h"
#include "loopbackserver.h"
#include "scriptedasker.h"
#include "scripteddialogs.h"

#include <QTemporaryDir>
#include <memory>

class PageSet;
class QLabel;
class QLineEdit;
class QTabBar;
class WebBrowser;

// The main window on the real engine, in a program folder of its own, shown and active, with a
// loopback server for its pages, scripted dialogs and scripted answers to what pages ask.
struct EngineWindow
{
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    ScriptedAsker asker;
    LoopbackServer server;
    std::unique_ptr<Form1> form;

    EngineWindow();
    virtual ~EngineWindow();

    PageSet &pages();
    QTabBar *tabs() const;
    QLineEdit *Text1() const;
    QLabel *statusPanel() const;
    QString status() const;
    WebBrowser *web(qint16 page);
    WebBrowser *front();

    // A small page with a title and a body.
    static QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray());
};

// main() for tests on the real engine, which needs its attribute before the application exists.
int runEngineTest(QObject &test, int argc, char **argv);
