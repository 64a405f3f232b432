#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

// Shared look of the information windows: measures are designed in twips (see twips.h),
// text in one CJK face with the desktop's own CJK font standing in where it is missing.
namespace InfoStyle {

QFont textFont(qreal points, bool underline = false);

// Sets the colour a label draws its text in.
void setTextColour(QLabel *label, const QColor &colour);

// A label placed at its design rectangle (pixels) in the given font; the background stays
// transparent so the panel or picture beneath shows through.
QLabel *makeLabel(QWidget *parent, const QString &objectName, QRect design, qreal points);

// Grows a label to fit its text, never below its design size.
void fitToText(QLabel *label, QRect design);

// The top-left that centres a window of the given outer size on a screen.
QPoint centredTopLeft(const QRect &screen, const QSize &outer);

QString readText(const QString &resourcePath);

} // namespace InfoStyle
