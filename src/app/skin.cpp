#include "skin.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

struct SkinState
{
    QByteArray data;
    QString applied;
    bool attached = false;
};

SkinState &state()
{
    static SkinState s;
    return s;
}

// The kept bytes as a style sheet; empty when they are not text a style sheet can be.
QString sheetFromData(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString sheet = utf8.decode(data);
    if (utf8.hasError() || sheet.contains(QChar(u'\0')))
        return QString();
    return sheet;
}

int apply(const QString &sheet)
{
    state().applied = sheet;
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        app->setStyleSheet(sheet);
        return 0;
    }
    return -1;
}

QColor shifted(const QColor &colour, int hue, int saturation, int brightness)
{
    int h, s, v, a;
    colour.getHsv(&h, &s, &v, &a);
    if (h >= 0)
        h = ((h + hue) % 360 + 360) % 360;
    s = qBound(0, s + s * saturation / 100, 255);
    v = qBound(0, v + v * brightness / 100, 255);
    return QColor::fromHsv(h, s, v, a);
}

} // namespace

int SkinH_AttachRes(const unsigned char *data, int length, int, int, int, int)
{
    if (!data || length <= 0) {
        state().data.clear();
        return -1;
    }
    state().data = QByteArray(reinterpret_cast<const char *>(data), length);
    return 0;
}

int SkinH_Attach()
{
    const QString sheet = sheetFromData(state().data);
    if (sheet.isEmpty())
        return -1;
    state().attached = true;
    return apply(sheet);
}

int SkinH_AdjustHSV(int hue, int saturation, int brightness)
{
    if (!state().attached)
        return -1;
    if (hue == 0 && saturation == 0 && brightness == 0)
        return 0;
    return apply(adjustColours(sheetFromData(state().data), hue, saturation, brightness));
}

QString adjustColours(const QString &sheet, int hue, int saturation, int brightness)
{
    static const QRegularExpression colour(
            QStringLiteral("#[0-9A-Fa-f]{6}\\b|#[0-9A-Fa-f]{3}\\b|rgba?\\(\\s*\\d+\\s*,\\s*\\d+\\s*,\\s*\\d+\\s*(,\\s*[0-9.]+\\s*)?\\)"));
    QString result;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = colour.globalMatch(sheet);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        result += sheet.mid(last, m.capturedStart() - last);
        const QString text = m.captured();
        QColor c;
        if (text.startsWith(QLatin1Char('#'))) {
            c = QColor::fromString(text);
        } else {
            static const QRegularExpression numbers(QStringLiteral("[0-9.]+"));
            QList<double> n;
            for (auto nm = numbers.globalMatch(text); nm.hasNext();)
                n.append(nm.next().captured().toDouble());
            c = QColor(qBound(0, int(n.value(0)), 255), qBound(0, int(n.value(1)), 255), qBound(0, int(n.value(2)), 255));
            if (n.size() > 3)
                c.setAlphaF(float(qBound(0.0, n.at(3) > 1.0 ? n.at(3) / 255.0 : n.at(3), 1.0)));
        }
        const QColor out = shifted(c, hue, saturation, brightness);
        result += out.alpha() == 255 ? out.name(QColor::HexRgb)
                                     : QStringLiteral("rgba(%1, %2, %3, %4)")
                                               .arg(out.red())
                                               .arg(out.green())
                                               .arg(out.blue())
                                               .arg(out.alpha());
        last = m.capturedEnd();
    }
    result += sheet.mid(last);
    return result;
}

QByteArray loadSkinResource()
{
    // The resource's name is matched without regard to letter case.
    const QDir skins(QStringLiteral(":/skin/CUSTOM"));
    for (const QString &name : skins.entryList(QDir::Files)) {
        if (name.compare(QStringLiteral("skn"), Qt::CaseInsensitive) == 0) {
            QFile file(skins.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                return file.readAll();
        }
    }
    return QByteArray();
}

QString appliedSkin()
{
    return state().applied;
}
