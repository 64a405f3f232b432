// The engine's floor: one window, one web view per address given on the command line, nothing
// else. The harness measures it the same way as the program, so the program's figures can be
// read as ratios against it.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTabWidget>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <cstdio>

namespace {

void trace(const char *milestone)
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    std::fprintf(
        stderr, "kovalis-trace %s %lld\n", milestone, static_cast<long long>(clock.nsecsElapsed() / 1000));
    std::fflush(stderr);
}

class FirstPaintTrace final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            trace("painted");
            watched->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    trace("exec");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    trace("application");
    // A profile on disk, as a browser that keeps cookies needs.
    QWebEngineProfile profile(QStringLiteral("baseline"));
    QTabWidget window;
    window.resize(1024, 768);
    // With --show-each, each page comes to the front once it has loaded, as a page opened by a
    // user does; without it only the first page is ever shown: the engine's floor. With
    // --discard-hidden, once every page has loaded the pages behind are discarded, which ends
    // their renderers: what a browser that discards background pages would keep.
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const bool showEach = mode == "--show-each";
    const bool discardHidden = mode == "--discard-hidden";
    const int first = showEach || discardHidden ? 2 : 1;
    int loading = argc - first;
    for (int i = first; i < argc; ++i) {
        auto *view = new QWebEngineView(&window);
        view->setPage(new QWebEnginePage(&profile, view));
        view->load(QUrl::fromUserInput(QString::fromLocal8Bit(argv[i])));
        window.addTab(view, QString::number(i));
        if (showEach)
            QObject::connect(view, &QWebEngineView::loadFinished, &window,
                [&window, view] { window.setCurrentWidget(view); });
        if (discardHidden)
            QObject::connect(view, &QWebEngineView::loadFinished, &window, [&window, &loading] {
                if (--loading != 0)
                    return;
                for (int t = 0; t < window.count(); ++t) {
                    auto *page = static_cast<QWebEngineView *>(window.widget(t))->page();
                    if (t != window.currentIndex())
                        page->setLifecycleState(QWebEnginePage::LifecycleState::Discarded);
                }
            });
    }
    trace("loaded");
    FirstPaintTrace firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    trace("shown");
    const int code = app.exec();
    // Pages go before their profile.
    while (window.count() > 0)
        delete window.widget(0);
    return code;
}
