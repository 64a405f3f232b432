#include "fakewindow.h"

#include "pageset.h"

#include <QLineEdit>
#include <QTabBar>

void FakeWindow::make(const std::optional<QString> &aheadFor)
{
    form = std::make_unique<Form1>(folder.path(), browsers.factory(), dialogs, aheadFor);
}

FakeBrowser *FakeWindow::page(qint16 index) const
{
    return static_cast<FakeBrowser *>(form->pages().browser(index));
}

FakeBrowser *FakeWindow::front() const
{
    return page(form->pages().curP());
}

QLineEdit *FakeWindow::Text1() const
{
    return form->findChild<QLineEdit *>(QStringLiteral("Text1"));
}

QTabBar *FakeWindow::tabs() const
{
    return form->findChild<QTabBar *>(QStringLiteral("TabStrip1"));
}
