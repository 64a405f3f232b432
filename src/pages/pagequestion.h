#pragma once

#include <QString>
#include <functional>

class QWidget;

// A yes-or-no question a page puts to the user; "no" is the default answer.
class PageQuestion final
{
public:
    using Ask = std::function<bool(const QString &question)>;

    static bool ask(QWidget *parent, const QString &question);

    // Tests answer the question themselves; an empty function restores the real dialog.
    static void setForTests(Ask ask);
};
