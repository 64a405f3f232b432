#pragma once

#include "fakebrowser.h"
#include "form1.h"
#include "scripteddialogs.h"

#include <QTemporaryDir>
#include <memory>
#include <optional>

class QLineEdit;
class QTabBar;

// The main window on fake browsers and scripted dialogs, in a program folder of its own.
struct FakeWindow
{
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    FakeBrowserFactory browsers;
    std::unique_ptr<Form1> form;

    // With aheadFor, the window sends its front page there before its controls are built.
    void make(const std::optional<QString> &aheadFor = std::nullopt);
    FakeBrowser *page(qint16 index) const;
    FakeBrowser *front() const;
    QLineEdit *Text1() const;
    QTabBar *tabs() const;
};
