#pragma once

#include <QObject>
#include <QSet>
#include <QString>

// Which sites may open windows without a click: none, until the user allows one for the rest
// of the run. Announces every window it blocks, so the main window can offer to allow the site.
class PopupPolicy final : public QObject
{
    Q_OBJECT

public:
    static PopupPolicy &instance();

    bool allowed(const QString &site) const { return m_allowed.contains(site); }
    void allow(const QString &site);
    // Tests start from a run where nothing was allowed.
    void forgetAllowed() { m_allowed.clear(); }

    // Called by the browser whose page was stopped from opening a window.
    void block(QObject *browser, const QString &site) { Q_EMIT blocked(browser, site); }

Q_SIGNALS:
    void blocked(QObject *browser, const QString &site);

private:
    QSet<QString> m_allowed;
};
