#include "permissionasker.h"

#include "asker.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWidget>

namespace {

QList<QPointer<QWebEngineProfile>> &profilesInMemory()
{
    static QList<QPointer<QWebEngineProfile>> profiles;
    return profiles;
}

} // namespace

void PermissionAsker::forgetEngineAnswers()
{
#if KOVALIS_PERMISSION_OBJECTS
    for (const QPointer<QWebEngineProfile> &profile : std::as_const(profilesInMemory())) {
        if (!profile)
            continue;
        const QList<QWebEnginePermission> kept = profile->listAllPermissions();
        for (const QWebEnginePermission &permission : kept)
            permission.reset();
    }
#endif
}

#if KOVALIS_PERMISSION_OBJECTS

QString PermissionAsker::kindName(Kind kind)
{
    using Type = QWebEnginePermission::PermissionType;
    switch (kind) {
    case Type::Notifications:
        return QStringLiteral("显示通知");
    case Type::Geolocation:
        return QStringLiteral("获取您的位置");
    case Type::MediaAudioCapture:
        return QStringLiteral("使用麦克风");
    case Type::MediaVideoCapture:
        return QStringLiteral("使用摄像头");
    case Type::MediaAudioVideoCapture:
        return QStringLiteral("使用摄像头和麦克风");
    case Type::MouseLock:
        return QStringLiteral("锁定鼠标指针");
    case Type::DesktopVideoCapture:
        return QStringLiteral("共享您的屏幕");
    case Type::DesktopAudioVideoCapture:
        return QStringLiteral("共享您的屏幕和声音");
    case Type::ClipboardReadWrite:
        return QStringLiteral("读取和写入剪贴板");
    case Type::LocalFontsAccess:
        return QStringLiteral("查看您电脑上安装的字体");
    case Type::Unsupported:
        return QString();
    }
    return QString();
}

void PermissionAsker::watch(QWebEnginePage *page, QWidget *parent)
{
    QObject::connect(page, &QWebEnginePage::permissionRequested, page,
        [this, parent = QPointer<QWidget>(parent)](QWebEnginePermission permission) {
            if (allowed(parent, permission.origin(), permission.permissionType()))
                permission.grant();
            else
                permission.deny();
        });
}

void PermissionAsker::keepAnswersInMemory(QWebEngineProfile *profile)
{
    profile->setPersistentPermissionsPolicy(QWebEngineProfile::PersistentPermissionsPolicy::StoreInMemory);
    profilesInMemory().append(profile);
}

#else

QString PermissionAsker::kindName(Kind kind)
{
    switch (kind) {
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
    return QString();
}

void PermissionAsker::watch(QWebEnginePage *page, QWidget *parent)
{
    QObject::connect(page, &QWebEnginePage::featurePermissionRequested, page,
        [this, page, parent = QPointer<QWidget>(parent)](
            const QUrl &origin, QWebEnginePage::Feature feature) {
            page->setFeaturePermission(origin, feature,
                allowed(parent, origin, feature) ? QWebEnginePage::PermissionGrantedByUser
                                                 : QWebEnginePage::PermissionDeniedByUser);
        });
}

void PermissionAsker::keepAnswersInMemory(QWebEngineProfile *profile)
{
    // This engine keeps no answers of its own.
    profilesInMemory().append(profile);
}

#endif

bool PermissionAsker::allowed(QWidget *parent, const QUrl &origin, Kind kind)
{
    const QString name = kindName(kind);
    if (name.isEmpty())
        return false;
    const QString site = origin.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    const QPair<QString, int> key(site, int(kind));
    auto it = m_answers.find(key);
    if (it == m_answers.end()) {
        const bool allowed
            = m_asker.allow(parent, QStringLiteral("网站 %1 请求%2。\n\n是否允许？").arg(site, name));
        it = m_answers.insert(key, allowed);
    }
    return it.value();
}
