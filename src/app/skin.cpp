#include "skin.h"

#include "skincolours.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

struct SkinState
{
    QByteArray kept;
    QString sheet; // the kept skin as text, once attached
    bool attached = false;
};

SkinState &state()
{
    static SkinState s;
    return s;
}

// The bytes as a style sheet; empty when they are not text a style sheet can be.
QString sheetFromData(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString sheet = utf8.decode(data);
    if (utf8.hasError() || sheet.contains(QChar(u'\0')) || sheet.trimmed().isEmpty())
        return QString();
    return sheet;
}

int apply(const QString &sheet)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return -1;
    // Setting a sheet restyles every window, so an unchanged one is not set again.
    if (app->styleSheet() != sheet)
        app->setStyleSheet(sheet);
    return 0;
}

} // namespace

int SkinH_AttachRes(const unsigned char *data, int length, int, int, int, int)
{
    // New data replaces the old skin; until it is attached there is nothing to adjust.
    SkinState &s = state();
    s = SkinState();
    if (!data || length <= 0)
        return -1;
    s.kept = QByteArray(reinterpret_cast<const char *>(data), length);
    return 0;
}

int SkinH_Attach()
{
    SkinState &s = state();
    const QString sheet = sheetFromData(s.kept);
    if (sheet.isEmpty())
        return -1;
    if (apply(sheet) != 0)
        return -1;
    s.sheet = sheet;
    s.attached = true;
    return 0;
}

int SkinH_AdjustHSV(int hue, int saturation, int brightness)
{
    const SkinState &s = state();
    if (!s.attached)
        return -1;
    // Each adjustment starts from the skin as kept, so calls do not pile up.
    return apply(SkinColours::adjust(s.sheet, hue, saturation, brightness));
}

QByteArray loadSkinResource(const QString &folder)
{
    const QDir skins(folder);
    for (const QString &name : skins.entryList(QDir::Files | QDir::Hidden)) {
        if (name.compare(QStringLiteral("skn"), Qt::CaseInsensitive) != 0)
            continue;
        QFile file(skins.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return QByteArray();
}
