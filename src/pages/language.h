#pragma once

#include <QString>
#include <QStringList>

class QWebEngineProfile;

// The interface is Chinese by design, whatever the system's locale says: Qt's own texts, the
// engine's menus, pages and dialogs, the languages pages are asked for and the face they are drawn in.
namespace Language {

// Loads Qt's and the engine's Chinese catalogues from folder into the application; returns the
// file names of those it could not load.
QStringList installTranslations(const QString &folder);

// Everything at start-up, after the application object and before the first page: the catalogues
// from Qt's folder (a missing one is said once on standard error), zh-CN for the engine and the
// program, and "微软雅黑" drawn in the installed CJK face.
void useChinese();

// The Accept-Language of every page: Chinese first (in the system's order where it lists more
// than one kind of Chinese), then English.
QString acceptLanguage(const QStringList &systemLanguages);

// The installed sans-serif face for simplified Chinese, found through the font configuration;
// empty when there is none.
QString chineseSansFamily();

// The languages and default fonts of a profile.
void setUpProfile(QWebEngineProfile *profile);

} // namespace Language
