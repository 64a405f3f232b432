#include "infostyle.h"

#include <QFile>
#include <QLabel>
#include <QPalette>
#include <QStringList>
#include <QtMath>

using namespace Qt::StringLiterals;

namespace InfoStyle {

QFont textFont(qreal points, bool underline)
{
    QFont font;
    // The face the windows were drawn for first, then the CJK faces of Linux desktops.
    font.setFamilies({ u"微软雅黑"_s, u"Microsoft YaHei"_s, u"Noto Sans CJK SC"_s, u"WenQuanYi Micro Hei"_s,
        u"Source Han Sans SC"_s, u"sans-serif"_s });
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setUnderline(underline);
    return font;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QLabel *makeLabel(QWidget *parent, const QString &objectName, QRect design, qreal points)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setFont(textFont(points));
    label->setGeometry(design);
    return label;
}

void fitToText(QLabel *label, QRect design)
{
    label->resize(label->sizeHint().expandedTo(design.size()));
}

QPoint centredTopLeft(const QRect &screen, const QSize &outer)
{
    // Halves are taken before the subtraction, as the window's load rule has it.
    const double top = screen.height() / 2.0 - outer.height() / 2.0;
    const double left = screen.width() / 2.0 - outer.width() / 2.0;
    return screen.topLeft() + QPoint(qFloor(left), qFloor(top));
}

QString readText(const QString &resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text = QString::fromUtf8(file.readAll());
    // Trailing line ends only: a page may open with an indented paragraph.
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

} // namespace InfoStyle
