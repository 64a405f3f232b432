// The page set and the lists as they grow, on fake browsers, and the hand-off under hanging second
// starts: the program's own cost with the engine taken out. Prints one line per figure: name, median, min,
// max, runs (microseconds).
#include "fakebrowser.h"
#include "favoritesstore.h"
#include "form1.h"
#include "form2.h"
#include "handoff.h"
#include "handofffolder.h"
#include "pageset.h"
#include "scripteddialogs.h"
#include "searchenginefile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QLocalSocket>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

int kRuns = 5; // fewer for a profiler: "pages N runs"
constexpr int kOpsPerRun = 100;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char *figure, const QList<double> &perRun)
{
    const auto [lo, hi] = std::minmax_element(perRun.begin(), perRun.end());
    std::printf("%s\t%.1f\t%.1f\t%.1f\t%lld\n", figure, median(perRun), *lo, *hi,
        static_cast<long long>(perRun.size()));
    std::fflush(stdout);
}

// What the event loop does after a click: layout, paint, and the pages closed with deleteLater.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Timing
{
    double call = 0; // the step itself
    double settled = 0; // the step and the event loop's work after it
};

Timing measure(const std::function<void()> &step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    Timing timing;
    timing.call = double(clock.nsecsElapsed()) / 1000.0;
    settle();
    timing.settled = double(clock.nsecsElapsed()) / 1000.0;
    return timing;
}

double microseconds(const std::function<void()> &step)
{
    return measure(step).settled;
}

struct Window
{
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    FakeBrowserFactory browsers;
    std::unique_ptr<Form1> form;

    Window()
    {
        form = std::make_unique<Form1>(folder.path(), browsers.factory(), dialogs);
        form->Form_Load(QString());
        form->show();
        settle();
    }
    // A page that is not blank, so the next NewP makes a new one instead of reusing it.
    void openPage(int serial)
    {
        form->pages().NewP();
        form->pages().current()->Navigate(QStringLiteral("http://127.0.0.1/%1").arg(serial));
    }
};

void pageSet(int open)
{
    QList<double> newP;
    QList<double> close;
    QList<double> newPSettled;
    QList<double> closeSettled;
    for (int run = 0; run < kRuns; ++run) {
        Window window;
        window.form->pages().current()->Navigate(QStringLiteral("http://127.0.0.1/0"));
        for (int i = 1; i < open; ++i)
            window.openPage(i);
        settle();
        QList<double> newOps;
        QList<double> closeOps;
        QList<double> newOpsSettled;
        QList<double> closeOpsSettled;
        for (int op = 0; op < kOpsPerRun; ++op) {
            const Timing made = measure([&] { window.form->pages().NewP(); });
            window.form->pages().current()->Navigate(QStringLiteral("http://127.0.0.1/x"));
            settle();
            const Timing closed = measure([&] { window.form->pages().closeCurrent(); });
            newOps.append(made.call);
            newOpsSettled.append(made.settled);
            closeOps.append(closed.call);
            closeOpsSettled.append(closed.settled);
        }
        newP.append(median(newOps));
        close.append(median(closeOps));
        newPSettled.append(median(newOpsSettled));
        closeSettled.append(median(closeOpsSettled));
    }
    report(qPrintable(QStringLiteral("NewP, %1 pages open (us)").arg(open)), newP);
    report(qPrintable(QStringLiteral("close, %1 pages open (us)").arg(open)), close);
    report(qPrintable(QStringLiteral("NewP + repaint, %1 pages open (us)").arg(open)), newPSettled);
    report(qPrintable(QStringLiteral("close + repaint, %1 pages open (us)").arg(open)), closeSettled);
}

// LoadEngines on a search-engine file of the given bytes, which hold `engines` engines.
void loadEngines(const char *figure, const QByteArray &text, qsizetype engines)
{
    QTemporaryDir folder;
    QFile file(SearchEngineFile::path(folder.path()));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write the engine file");
    file.close();
    QList<double> load;
    for (int run = 0; run < kRuns; ++run)
        load.append(microseconds([&] {
            if (SearchEngineFile::load(folder.path()).size() != engines)
                qFatal("engine file misread");
        }));
    report(figure, load);
}

void engines()
{
    QByteArray text;
    for (int i = 0; i < 10000; ++i)
        text += QStringLiteral("引擎%1 TheHead: http://127.0.0.1/s?n=%1&q=\r\n").arg(i).toUtf8();
    loadEngines("LoadEngines, 10,000 lines (us)", text, 10000);

    // 50 MB in lines of 1 KB, one engine first and one last.
    const QByteArray good = "Good TheHead: http://good/?q=\r\n";
    QByteArray huge = good;
    const QByteArray filler = QByteArray(1022, 'z') + "\r\n";
    huge.reserve((50 << 20) + 2 * good.size());
    while (huge.size() < (50 << 20))
        huge += filler;
    loadEngines("LoadEngines, 50 MB file (us)", huge + good, 2);
}

void favorites()
{
    QTemporaryDir folder;
    FavoritesStore store(folder.path());
    store.ensureFolder();
    for (int i = 0; i < 10000; ++i) {
        QFile file(store.folderPath() + QStringLiteral("/收藏%1.link").arg(i));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write a favorite");
        file.write(QByteArray("[tarvo.link]\r\nhttp://127.0.0.1/") + QByteArray::number(i) + "\r\n");
    }
    ScriptedDialogs dialogs;
    QList<double> list;
    for (int run = 0; run < kRuns; ++run) {
        Form2 *shown = nullptr;
        list.append(microseconds([&] {
            shown = new Form2(store, dialogs, [](const QString &) {});
            shown->show();
        }));
        const auto *items = shown->findChild<QListWidget *>();
        if (!items || items->count() != 10000)
            qFatal("favorites misread");
        delete shown;
        settle();
    }
    report("favorites window, 10,000 favorites (us)", list);
}

// Ten second starts at once that send half a message and hang: the running instance's longest
// pause between two turns of its event loop while it drops them.
void hostileHandoffs()
{
    QList<double> stalls;
    for (int run = 0; run < kRuns; ++run) {
        QTemporaryDir folder;
        SingleInstance single(folder.path());
        if (!single.tryBecomePrimary())
            qFatal("no lock");
        single.setClientTimeout(300);
        const QString name = HandoffFolder::serverName(folder.path());
        std::atomic<int> finished = 0;
        std::vector<std::thread> clients;
        for (int i = 0; i < 10; ++i) {
            clients.emplace_back([&] {
                QLocalSocket socket;
                socket.connectToServer(name);
                if (socket.waitForConnected(5000)) {
                    socket.write(QByteArray("\0\0\0\x0a"
                                            "ab",
                        6));
                    socket.waitForBytesWritten(5000);
                    socket.waitForDisconnected(10000);
                }
                ++finished;
            });
        }
        QElapsedTimer sinceTurn;
        sinceTurn.start();
        qint64 longest = 0;
        while (finished.load() < 10) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            longest = qMax(longest, sinceTurn.restart());
        }
        for (std::thread &client : clients)
            client.join();
        stalls.append(double(longest) * 1000.0);
    }
    report("hand-off, longest stall with 10 hanging clients (us)", stalls);
}

} // namespace

// With no argument, every figure; "pages N", "engines", "favorites" or "handoff" runs one, for a
// profiler.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString only = arguments.value(0);
    if (only.isEmpty()) {
        for (int open : { 10, 100, 1000 })
            pageSet(open);
    } else if (only == QStringLiteral("pages")) {
        kRuns = qMax(1, arguments.value(2, QStringLiteral("5")).toInt());
        pageSet(arguments.value(1).toInt());
    }
    if (only.isEmpty() || only == QStringLiteral("engines"))
        engines();
    if (only.isEmpty() || only == QStringLiteral("favorites"))
        favorites();
    if (only.isEmpty() || only == QStringLiteral("handoff"))
        hostileHandoffs();
    return 0;
}
