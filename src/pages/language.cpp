#include "language.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace Language {

namespace {

    // Words where Qt's catalogues differ from what Chinese browsers and desktops say.
    class Corrections final : public QTranslator
    {
    public:
        using QTranslator::QTranslator;

        QString translate(const char *context, const char *source, const char *, int) const override
        {
            struct Word
            {
                const char *context;
                const char *source;
                QString text;
            };
            static const Word words[] = {
                { "RenderViewContextMenuQt", "Back", u"返回"_s },
                { "RenderViewContextMenuQt", "Save page", u"保存网页"_s },
                { "RenderViewContextMenuQt", "View page source", u"查看网页源代码"_s },
                { "QLineEdit", "&Undo", u"撤销(&U)"_s },
                { "QWidgetTextControl", "&Undo", u"撤销(&U)"_s },
            };
            for (const Word &word : words) {
                if (qstrcmp(context, word.context) == 0 && qstrcmp(source, word.source) == 0)
                    return word.text;
            }
            return QString();
        }

        bool isEmpty() const override { return false; }
    };

    bool install(const QString &folder, const QString &name)
    {
        auto *translator = new QTranslator(qApp);
        if (!translator->load(name, folder)) {
            delete translator;
            return false;
        }
        QCoreApplication::installTranslator(translator);
        return true;
    }

} // namespace

QStringList installTranslations(const QString &folder)
{
    QStringList missing;
    // qtbase holds everything of Qt the program shows; the older all-in-one catalogue stands in.
    if (!install(folder, u"qtbase_zh_CN.qm"_s) && !install(folder, u"qt_zh_CN.qm"_s))
        missing.append(u"qtbase_zh_CN.qm"_s);
    if (!install(folder, u"qtwebengine_zh_CN.qm"_s))
        missing.append(u"qtwebengine_zh_CN.qm"_s);
    return missing;
}

void useChinese()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QStringList missing = installTranslations(folder);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "kovalis: %s\n",
            qUtf8Printable(u"在 %1 找不到 Qt 的中文翻译 %2，Qt 自带的文字将显示为英文。"_s.arg(
                folder, missing.join(u"、"_s))));
    }
    // Installed last, so asked first.
    QCoreApplication::installTranslator(new Corrections(qApp));

    // The engine takes its language from the default locale when it starts: its menus, error
    // pages and navigator.language follow.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    const QString face = chineseSansFamily();
    if (!face.isEmpty()) {
        QFont::insertSubstitution(u"微软雅黑"_s, face);
        QFont::insertSubstitution(u"Microsoft YaHei"_s, face);
    }
}

QString acceptLanguage(const QStringList &systemLanguages)
{
    QStringList tags;
    for (const QString &language : systemLanguages) {
        const QLocale locale(language);
        if (locale.language() != QLocale::Chinese)
            continue;
        // "zh", "zh-Hans" and "zh-Hans-CN" all name the same language as "zh-CN".
        const QString tag = locale.name().replace(u'_', u'-');
        if (!tags.contains(tag))
            tags.append(tag);
    }
    if (tags.isEmpty())
        tags.append(u"zh-CN"_s);
    tags.append(u"zh"_s);
    tags.append(u"en"_s);

    QString header;
    for (qsizetype i = 0; i < tags.size(); ++i) {
        if (i == 0) {
            header = tags[i];
            continue;
        }
        const int tenths = qMax(1, 10 - int(i));
        header += u',' + tags[i] + u";q=0."_s + QString::number(tenths);
    }
    return header;
}

QString chineseSansFamily()
{
    const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    static const QStringList preferred = { u"Noto Sans CJK SC"_s, u"Source Han Sans SC"_s,
        u"Source Han Sans CN"_s, u"WenQuanYi Micro Hei"_s, u"WenQuanYi Zen Hei"_s, u"Droid Sans Fallback"_s };
    for (const QString &family : preferred) {
        if (installed.contains(family))
            return family;
    }
    // Any other sans-serif ("黑体") face that covers simplified Chinese.
    for (const QString &family : installed) {
        if ((family.contains(u"Sans"_s) || family.contains(u"Hei"_s) || family.contains(u"黑"_s))
            && !family.contains(u"Mono"_s))
            return family;
    }
    return QString();
}

void setUpProfile(QWebEngineProfile *profile)
{
    profile->setHttpAcceptLanguage(acceptLanguage(QLocale::system().uiLanguages()));
    QWebEngineSettings *settings = profile->settings();
    const QString face = chineseSansFamily();
    // Without a CJK face, pages still get the sans-serif look; the font configuration finds
    // Chinese glyphs for it character by character.
    const QString standard = face.isEmpty() ? settings->fontFamily(QWebEngineSettings::SansSerifFont) : face;
    settings->setFontFamily(QWebEngineSettings::StandardFont, standard);
    settings->setFontFamily(QWebEngineSettings::SansSerifFont, standard);
}

} // namespace Language
