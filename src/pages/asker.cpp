#include "asker.h"

#include <QDebug>

QString UnattendedAsker::savePath(QWidget *, const QString &suggested, const QString &)
{
    qInfo().noquote() << QStringLiteral("Kovalis: 保存 %1 → 取消").arg(suggested);
    return QString();
}

std::optional<Asker::Login> UnattendedAsker::login(QWidget *, const QString &prompt)
{
    qInfo().noquote() << QStringLiteral("Kovalis: %1 → 取消").arg(prompt);
    return std::nullopt;
}

bool UnattendedAsker::allow(QWidget *, const QString &question)
{
    // Nobody is there to allow anything.
    qInfo().noquote() << QStringLiteral("Kovalis: %1 → 拒绝").arg(question);
    return false;
}
