#include "historyhook.h"

#include "history.h"

#include <QPointer>

namespace HistoryHook {

BrowserFactory recording(History *history, BrowserFactory factory)
{
    QPointer<History> target(history);
    return [target, factory = std::move(factory)]() -> Browser * {
        Browser *b = factory();
        if (!b || !target)
            return b;
        QObject::connect(b, &Browser::pageLoaded, target,
            [history = target.data()](
                const QString &address, const QString &title) { history->record(address, title); });
        // Titles often arrive after the load has finished.
        QObject::connect(
            b, &Browser::titleChanged, target, [history = target.data(), b](const QString &title) {
                history->retitle(b->LocationURL(), title);
            });
        return b;
    };
}

} // namespace HistoryHook
