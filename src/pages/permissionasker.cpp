#include "permissionasker.h"

#include "pagequestion.h"

#include <QUrl>

QHash<QPair<QString, int>, bool> &PermissionAsker::answers()
{
    static QHash<QPair<QString, int>, bool> remembered;
    return remembered;
}

void PermissionAsker::forgetAnswers()
{
    answers().clear();
}

QString PermissionAsker::featureName(QWebEnginePage::Feature feature)
{
    switch (feature) {
    case QWebEnginePage::Notifications:
        return QStringLiteral("显示通知");
    case QWebEnginePage::Geolocation:
        return QStringLiteral("获取您的位置");
    case QWebEnginePage::MediaAudioCapture:
        return QStringLiteral("使用麦克风");
    case QWebEnginePage::MediaVideoCapture:
        return QStringLiteral("使用摄像头");
    case QWebEnginePage::MediaAudioVideoCapture:
        return QStringLiteral("使用摄像头和麦克风");
    case QWebEnginePage::MouseLock:
        return QStringLiteral("锁定鼠标指针");
    case QWebEnginePage::DesktopVideoCapture:
        return QStringLiteral("共享您的屏幕");
    case QWebEnginePage::DesktopAudioVideoCapture:
        return QStringLiteral("共享您的屏幕和声音");
    }
    return QStringLiteral("使用一项设备功能");
}

void PermissionAsker::answer(
    QWebEnginePage *page, QWidget *parent, const QUrl &origin, QWebEnginePage::Feature feature)
{
    const QString site = origin.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    const QPair<QString, int> key(site, int(feature));
    auto it = answers().find(key);
    if (it == answers().end()) {
        const bool allowed = PageQuestion::ask(
            parent, QStringLiteral("网站 %1 请求%2。\n\n是否允许？").arg(site, featureName(feature)));
        it = answers().insert(key, allowed);
    }
    page->setFeaturePermission(origin, feature,
        it.value() ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}
