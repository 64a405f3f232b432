#include "skincolours.h"

#include <QColor>
#include <QRegularExpression>
#include <cmath>

namespace SkinColours {

namespace {

    float moved(float value, int percent)
    {
        const float p = float(percent) / 100.0f;
        return p >= 0 ? value + (1.0f - value) * p : value * (1.0f + p);
    }

    QColor shifted(const QColor &colour, int hue, int saturation, int brightness)
    {
        float h, s, v, a;
        colour.getHsvF(&h, &s, &v, &a);
        if (h >= 0) { // greys have no hue to turn
            h += float(hue) / 360.0f;
            h -= std::floor(h);
        }
        return QColor::fromHsvF(h, moved(s, saturation), moved(v, brightness), a);
    }

    QString hexName(const QColor &colour, int digits)
    {
        return colour.name(digits == 8 ? QColor::HexArgb : QColor::HexRgb);
    }

    // One declaration block's text with its colours shifted.
    QString adjustBlock(const QString &block, int hue, int saturation, int brightness)
    {
        static const QRegularExpression colour(
            QStringLiteral("#([0-9A-Fa-f]{8}|[0-9A-Fa-f]{6}|[0-9A-Fa-f]{3})(?![0-9A-Za-z_-])"
                           "|\\brgb(a?)\\(\\s*(\\d{1,3})\\s*,\\s*(\\d{1,3})\\s*,\\s*(\\d{1,3})\\s*(,\\s*[0-9."
                           "]+%?\\s*)?\\)"));
        QString result;
        qsizetype last = 0;
        for (auto it = colour.globalMatch(block); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            result += QStringView(block).mid(last, m.capturedStart() - last);
            last = m.capturedEnd();
            if (!m.captured(1).isEmpty()) {
                const QColor out = shifted(QColor::fromString(m.captured()), hue, saturation, brightness);
                result += hexName(out, int(m.captured(1).size()));
                continue;
            }
            const QColor in(qMin(255, m.captured(3).toInt()), qMin(255, m.captured(4).toInt()),
                qMin(255, m.captured(5).toInt()));
            const QColor out = shifted(in, hue, saturation, brightness);
            // The alpha part stays as written.
            result += QStringLiteral("rgb%1(%2, %3, %4%5)")
                          .arg(m.captured(2), QString::number(out.red()), QString::number(out.green()),
                              QString::number(out.blue()), m.captured(6));
        }
        result += QStringView(block).mid(last);
        return result;
    }

} // namespace

QString adjust(const QString &sheet, int hue, int saturation, int brightness)
{
    hue = qBound(-180, hue, 180);
    saturation = qBound(-100, saturation, 100);
    brightness = qBound(-100, brightness, 100);
    if (hue == 0 && saturation == 0 && brightness == 0)
        return sheet;
    // Only declaration blocks carry colours; outside them "#abc" is an object name.
    QString result;
    qsizetype pos = 0;
    while (pos < sheet.size()) {
        const qsizetype open = sheet.indexOf(QLatin1Char('{'), pos);
        if (open < 0)
            break;
        qsizetype close = sheet.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            close = sheet.size();
        result += QStringView(sheet).mid(pos, open + 1 - pos);
        result += adjustBlock(sheet.mid(open + 1, close - open - 1), hue, saturation, brightness);
        pos = close;
    }
    result += QStringView(sheet).mid(pos);
    return result;
}

} // namespace SkinColours
