#pragma once

#include "asker.h"

// The screen's own boxes for what a page asks: the desktop's save dialog, the login dialog, and a
// yes-or-no box whose default answer is no.
class ScreenAsker final : public Asker
{
public:
    QString savePath(QWidget *parent, const QString &suggested, const QString &site) override;
    std::optional<Login> login(QWidget *parent, const QString &prompt) override;
    bool allow(QWidget *parent, const QString &question) override;
};
