// History at 100,000 addresses: a completion round as the user types, the same with the list
// drawn, a visit recorded, the stored entries read at start and the history window's query.
// Prints one line per figure: name, median, min, max, runs (microseconds unless named).
#include "addresscompletion.h"
#include "completion.h"
#include "history.h"
#include "historystore.h"
#include "pinyin.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <time.h>

namespace {

int kEntries = 100'000;
int kRuns = 5;
constexpr int kRoundsPerRun = 20;
constexpr qint64 kDay = 24LL * 3600 * 1000;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const QString &figure, const QList<double> &perRun)
{
    const auto [lo, hi] = std::minmax_element(perRun.begin(), perRun.end());
    std::printf("%s\t%.1f\t%.1f\t%.1f\t%lld\n", qPrintable(figure), median(perRun), *lo, *hi,
        static_cast<long long>(perRun.size()));
    std::fflush(stdout);
}

// The processor time of this thread: on a machine shared with other work the wall clock
// also counts the time others had the processor.
double cpuMicroseconds(const std::function<void()> &step)
{
    timespec start {};
    timespec end {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    step();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return double(end.tv_sec - start.tv_sec) * 1e6 + double(end.tv_nsec - start.tv_nsec) / 1e3;
}

double microseconds(const std::function<void()> &step)
{
    QElapsedTimer clock;
    clock.start();
    step();
    return double(clock.nsecsElapsed()) / 1000.0;
}

// Titles as Chinese sites write them: a few words, sometimes an ASCII name among them.
const QStringList &words()
{
    static const QStringList list = QStringLiteral(
        "新闻 体育 财经 科技 娱乐 汽车 房产 教育 旅游 美食 健康 游戏 视频 音乐 小说 图片 地图 天气 "
        "邮箱 购物 手机 电脑 数码 军事 历史 文化 读书 时尚 家居 母婴 招聘 论坛 博客 微博 百科 知道 "
        "翻译 词典 股票 基金 银行 保险 彩票 快递 机票 酒店 电影 电视剧 综艺 动漫 直播 问答 社区 学术")
                                        .split(QLatin1Char(' '));
    return list;
}

QString title(int i)
{
    const QStringList &w = words();
    QString t = w.at(i % w.size()) + w.at((i / 7) % w.size());
    if (i % 3 == 0)
        t += QStringLiteral(" - ") + w.at((i / 13) % w.size()) + QStringLiteral("网");
    if (i % 5 == 0)
        t += QStringLiteral(" Site%1").arg(i % 997);
    return t;
}

QString address(int i)
{
    return QStringLiteral("https://www.site%1.example/%2/page-%3.html").arg(i % 5000).arg(i % 37).arg(i);
}

QList<PageEntry> pages(qint64 now)
{
    QList<PageEntry> out;
    out.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const QString t = i == 0 ? QStringLiteral("百度一下，你就知道") : title(i);
        const Pinyin::Keys keys = Pinyin::of(t);
        PageEntry p { i == 0 ? QStringLiteral("https://www.baidu.com/") : address(i), t, keys.full,
            keys.initials, 1 + i % 17, now - (i % 120) * kDay };
        out.append(p);
    }
    return out;
}

QList<FavoriteEntry> favorites()
{
    QList<FavoriteEntry> out;
    for (int i = 0; i < 500; ++i) {
        const QString name = title(i * 31 + 1);
        const Pinyin::Keys keys = Pinyin::of(name);
        const QString a = address(i * 31 + 1);
        out.append({ name, QStringLiteral("/f/%1.link").arg(i), a, keys.full, keys.initials, name.toLower(),
            a.toLower() });
    }
    return out;
}

const QStringList kTyped { QStringLiteral("b"), QStringLiteral("bd"), QStringLiteral("baidu"),
    QStringLiteral("xwty"), QStringLiteral("新闻"), QStringLiteral("site123"),
    QStringLiteral("https://www.s"), QStringLiteral("zzzzq") };

void completionRounds()
{
    QStringList typedList = kTyped;
    if (qEnvironmentVariableIsSet("KOVALIS_BENCH_TYPED"))
        typedList = qEnvironmentVariable("KOVALIS_BENCH_TYPED").split(QLatin1Char(','));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QList<PageEntry> history = pages(now);
    const QList<FavoriteEntry> favs = favorites();
    CompletionIndex index;
    index.rebuild(history);
    for (const QString &typed : typedList) {
        QList<double> perRun;
        QList<double> cpuPerRun;
        for (int run = 0; run < kRuns; ++run) {
            QList<double> rounds;
            QList<double> cpuRounds;
            for (int r = 0; r < kRoundsPerRun; ++r) {
                const auto round = [&] { Completion::suggest(typed, favs, history, index, now); };
                rounds.append(microseconds(round));
                cpuRounds.append(cpuMicroseconds(round));
            }
            perRun.append(median(rounds));
            cpuPerRun.append(median(cpuRounds));
        }
        report(QStringLiteral("completion round, %1 entries, typed \"%2\" (us)").arg(kEntries).arg(typed),
            perRun);
        report(QStringLiteral("completion round, %1 entries, typed \"%2\" (us of processor time)")
                   .arg(kEntries)
                   .arg(typed),
            cpuPerRun);
    }
}

// Runs the event loop until `done` holds.
void waitFor(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void storedHistory()
{
    QTemporaryDir folder;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        HistoryStore store(folder.filePath(History::fileName()));
        store.open();
        for (int i = 0; i < kEntries; ++i)
            store.record(i == 0 ? QStringLiteral("https://www.baidu.com/") : address(i),
                i == 0 ? QStringLiteral("百度一下，你就知道") : title(i), now - (i % 80) * kDay);
    }
    QList<double> load;
    QList<double> record;
    QList<double> withList;
    QList<double> listAll;
    QList<double> search;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        History history(folder.path());
        waitFor([&history] { return history.isLoaded(); });
        load.append(double(clock.nsecsElapsed()) / 1e6);

        QList<double> records;
        for (int r = 0; r < kRoundsPerRun; ++r)
            records.append(microseconds([&] { history.record(address(r), title(r)); }));
        record.append(median(records));

        QWidget window;
        window.resize(800, 600);
        auto *edit = new QLineEdit(&window);
        edit->setGeometry(10, 10, 400, 24);
        window.show();
        AddressCompletion completion(edit, &history, folder.filePath(QStringLiteral("likepage")), {});
        QList<double> rounds;
        for (int r = 0; r < kRoundsPerRun; ++r)
            rounds.append(microseconds([&] { completion.update(kTyped.at(r % kTyped.size())); }));
        withList.append(median(rounds));

        for (const QString &text : { QString(), QStringLiteral("xwty") }) {
            bool answered = false;
            clock.restart();
            history.queryVisits(text, 5000, &window, [&answered](const QList<Visit> &) { answered = true; });
            waitFor([&answered] { return answered; });
            (text.isEmpty() ? listAll : search).append(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    report(QStringLiteral("history read at start, %1 entries, off the interface thread (ms)").arg(kEntries),
        load);
    report(QStringLiteral("a visit recorded, interface thread's share (us)"), record);
    report(QStringLiteral("completion round with the list drawn, %1 entries (us)").arg(kEntries), withList);
    report(QStringLiteral("history window, newest 5,000 of %1 (ms)").arg(kEntries), listAll);
    report(QStringLiteral("history window, search \"xwty\" in %1 (ms)").arg(kEntries), search);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 1)
        kEntries = std::max(1000, atoi(argv[1]));
    completionRounds();
    // "completion" as the second argument leaves out the rounds with the database.
    if (argc <= 2 || std::strcmp(argv[2], "completion") != 0)
        storedHistory();
    return 0;
}
