#include "completion.h"
#include "history.h"
#include "historystore.h"
#include "historywindow.h"
#include "pinyin.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 kDay = 24LL * 3600 * 1000;

QStringList addresses(const QList<Visit> &visits)
{
    QStringList out;
    for (const Visit &v : visits)
        out.append(v.address);
    return out;
}
} // namespace

class TestHistory final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void pinyin_data();
    void pinyin();
    void recordable_data();
    void recordable();

    void visits_search_data();
    void visits_search();
    void remove_visitSiteAll();
    void pages_countAndRetitle();

    void open_brokenFile_movedAsideOnce_data();
    void open_brokenFile_movedAsideOnce();
    void open_unwritableFolder_browsingGoesOn();

    void history_recordsOffThread_keptAcrossStarts();
    void history_oldVisits_forgotten();
    void history_recordBeforeLoaded_kept_data();
    void history_recordBeforeLoaded_kept();
    void history_clearBeforeLoaded_stays_data();
    void history_clearBeforeLoaded_stays();
    void history_deferredAndNeverStarted_stillWrites();

    void window_listsByDay_searches_deletes();

private:
    QString dbPath() const { return m_dir->filePath(History::fileName()); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestHistory::pinyin_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("initials");
    QTest::addRow("two characters") << u"百度"_s << u"baidu"_s << u"bd"_s;
    QTest::addRow("phrase") << u"新浪新闻"_s << u"xinlangxinwen"_s << u"xlxw"_s;
    QTest::addRow("word with its own reading") << u"重庆"_s << u"chongqing"_s << u"cq"_s;
    QTest::addRow("mixed with ASCII") << u"QQ邮箱 - 登录"_s << u"qqyouxiangdenglu"_s << u"qqyxdl"_s;
    QTest::addRow("ASCII between") << u"百度一下，你就知道 Baidu2"_s << u"baiduyixianijiuzhidaobaidu2"_s
                                   << u"bdyxnjzdbaidu2"_s;
    QTest::addRow("no Han: title matches itself") << u"Example Domain"_s << QString() << QString();
    QTest::addRow("empty") << QString() << QString() << QString();
}

void TestHistory::pinyin()
{
    QFETCH(QString, title);
    const Pinyin::Keys keys = Pinyin::of(title);
    QFETCH(QString, full);
    QCOMPARE(keys.full, full);
    QFETCH(QString, initials);
    QCOMPARE(keys.initials, initials);
}

void TestHistory::recordable_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("recorded");
    QTest::addRow("http") << u"http://example.com/"_s << true;
    QTest::addRow("https") << u"https://www.baidu.com/s?wd=1"_s << true;
    QTest::addRow("local file") << u"file:///home/user/a.html"_s << true;
    QTest::addRow("blank page") << u"about:blank"_s << false;
    QTest::addRow("data") << u"data:text/html,<b>x</b>"_s << false;
    QTest::addRow("script") << u"javascript:alert(1)"_s << false;
    QTest::addRow("engine page") << u"chrome://version"_s << false;
    QTest::addRow("empty") << QString() << false;
    QTest::addRow("huge") << (u"http://example.com/"_s + QString(9000, u'a')) << false;
}

void TestHistory::recordable()
{
    QFETCH(QString, address);
    QFETCH(bool, recorded);
    QCOMPARE(HistoryStore::recordable(QUrl(address)), recorded);
}

void TestHistory::visits_search_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("found");
    const QString baidu = u"https://www.baidu.com/"_s;
    const QString sina = u"https://news.sina.com.cn/"_s;
    const QString pct = u"http://example.com/100%25_off"_s;
    QTest::addRow("everything, newest first") << QString() << QStringList { pct, sina, baidu, baidu };
    QTest::addRow("address part") << u"sina"_s << QStringList { sina };
    QTest::addRow("title word") << u"新闻"_s << QStringList { sina };
    QTest::addRow("pinyin in full") << u"baidu"_s << QStringList { baidu, baidu };
    QTest::addRow("pinyin initials") << u"xlxw"_s << QStringList { sina };
    QTest::addRow("pinyin with blanks") << u"xin lang"_s << QStringList { sina };
    QTest::addRow("title letter case") << u"example"_s << QStringList { pct };
    QTest::addRow("percent is literal") << u"%"_s << QStringList { pct };
    QTest::addRow("underscore is literal") << u"_off"_s << QStringList { pct };
    QTest::addRow("nothing") << u"zzzz"_s << QStringList {};
}

void TestHistory::visits_search()
{
    QFETCH(QString, search);
    HistoryStore store(dbPath());
    QVERIFY(store.open().isEmpty());
    store.record(u"https://www.baidu.com/"_s, u"百度一下"_s, 1000);
    store.record(u"https://www.baidu.com/"_s, u"百度一下"_s, 2000);
    store.record(u"https://news.sina.com.cn/"_s, u"新浪新闻"_s, 3000);
    store.record(u"http://example.com/100%25_off"_s, u"Example Sale"_s, 4000);
    QFETCH(QStringList, found);
    QCOMPARE(addresses(store.visits(search, 100)), found);
}

void TestHistory::remove_visitSiteAll()
{
    HistoryStore store(dbPath());
    QVERIFY(store.open().isEmpty());
    store.record(u"https://a.example/1"_s, u"A1"_s, 1000);
    store.record(u"https://a.example/1"_s, u"A1"_s, 2000);
    store.record(u"https://A.example/2"_s, u"A2"_s, 3000);
    store.record(u"https://b.example/"_s, u"B"_s, 4000);

    const QList<Visit> all = store.visits(QString(), 100);
    QCOMPARE(all.size(), 4);
    store.removeVisit(all.at(2).id); // the later visit of a.example/1
    QList<PageEntry> pages = store.pages();
    const auto page = [&pages](const QString &address) {
        for (const PageEntry &p : pages) {
            if (p.address == address)
                return p;
        }
        return PageEntry {};
    };
    QCOMPARE(page(u"https://a.example/1"_s).visits, 1);
    QCOMPARE(page(u"https://a.example/1"_s).lastVisit, 1000);

    store.removeSite(u"a.example"_s);
    QCOMPARE(addresses(store.visits(QString(), 100)), QStringList { u"https://b.example/"_s });
    pages = store.pages();
    QCOMPARE(pages.size(), 1);

    store.clear();
    QVERIFY(store.visits(QString(), 100).isEmpty());
    QVERIFY(store.pages().isEmpty());
}

void TestHistory::pages_countAndRetitle()
{
    HistoryStore store(dbPath());
    QVERIFY(store.open().isEmpty());
    store.record(u"https://www.baidu.com/"_s, QString(), 1000);
    store.record(u"https://www.baidu.com/"_s, QString(), 5000);
    store.retitle(u"https://www.baidu.com/"_s, u"百度"_s);
    const QList<PageEntry> pages = store.pages();
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages.at(0).visits, 2);
    QCOMPARE(pages.at(0).lastVisit, 5000);
    QCOMPARE(pages.at(0).title, u"百度"_s);
    QCOMPARE(pages.at(0).pinyinInitials, u"bd"_s);
    // Only the newest visit takes the late title.
    const QList<Visit> visits = store.visits(QString(), 10);
    QCOMPARE(visits.at(0).title, u"百度"_s);
    QCOMPARE(visits.at(1).title, QString());
}

void TestHistory::open_brokenFile_movedAsideOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("locked");
    QTest::addRow("not a database")
        << QByteArray("this is not a database at all, just some text\n").repeated(100) << false;
    QByteArray header("SQLite format 3");
    header.append('\0');
    header.append(QByteArray(84, '\xff'));
    QTest::addRow("damaged header") << header.repeated(50) << false;
    QTest::addRow("held by another writer") << QByteArray() << true;
}

void TestHistory::open_brokenFile_movedAsideOnce()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, locked);
    const QString path = dbPath();
    const QString holder = u"holder"_s;
    if (locked) {
        {
            HistoryStore first(path);
            QVERIFY(first.open().isEmpty());
            first.record(u"https://old.example/"_s, u"old"_s, 1000);
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, holder);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(u"PRAGMA locking_mode=EXCLUSIVE"_s));
        QVERIFY(q.exec(u"BEGIN EXCLUSIVE"_s));
        QVERIFY(q.exec(u"INSERT INTO visits (url, host, title, time) VALUES ('x', 'x', 'x', 1)"_s));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    {
        HistoryStore store(path);
        const QString message = store.open();
        QVERIFY2(message.contains(u"已移到一旁"_s), qPrintable(message));
        QVERIFY(store.isOpen());
        store.record(u"https://new.example/"_s, u"new"_s, 2000);
        QCOMPARE(addresses(store.visits(QString(), 10)), QStringList { u"https://new.example/"_s });
    }
    if (locked) {
        QSqlDatabase::database(holder).close();
        QSqlDatabase::removeDatabase(holder);
    }
    // The old file is kept beside the new one, not deleted; the next start is quiet.
    const QStringList aside
        = QDir(m_dir->path()).entryList({ History::fileName() + u".broken-*"_s }, QDir::Files);
    QVERIFY2(!aside.isEmpty(), qPrintable(QDir(m_dir->path()).entryList().join(u' ')));
    HistoryStore again(path);
    QCOMPARE(again.open(), QString());
    QCOMPARE(again.visits(QString(), 10).size(), 1);
}

void TestHistory::open_unwritableFolder_browsingGoesOn()
{
    HistoryStore store(m_dir->filePath(u"missing/folder/"_s + History::fileName()));
    const QString message = store.open();
    QVERIFY(message.contains(u"无法打开历史记录"_s));
    QVERIFY(!store.isOpen());
    store.record(u"https://example.com/"_s, u"x"_s, 1);
    QVERIFY(store.visits(QString(), 10).isEmpty());
}

void TestHistory::history_recordsOffThread_keptAcrossStarts()
{
    {
        History history(m_dir->path());
        QSignalSpy loaded(&history, &History::loaded);
        QVERIFY(loaded.wait());
        QCOMPARE(loaded.at(0).at(0).toString(), QString());
        QSignalSpy changed(&history, &History::changed);
        history.record(u"https://www.baidu.com/"_s, u"百度"_s);
        history.record(u"about:blank"_s, QString());
        history.record(u"https://www.baidu.com/"_s, u"百度"_s);
        // The copy for completion is current at once.
        QCOMPARE(history.pages().size(), 1);
        QCOMPARE(history.pages().at(0).visits, 2);
        QCOMPARE(history.pages().at(0).pinyinInitials, u"bd"_s);
        QTRY_COMPARE(changed.size(), 2);
        // A later title replaces the old one in what completion searches.
        const auto completes = [&history](const QString &typed) {
            return Completion::suggest(
                typed, {}, history.pages(), history.index(), QDateTime::currentMSecsSinceEpoch())
                .size();
        };
        QCOMPARE(completes(u"bd"_s), 1);
        history.retitle(u"https://www.baidu.com/"_s, u"新浪"_s);
        QCOMPARE(completes(u"bd"_s), 0);
        QCOMPARE(completes(u"xl"_s), 1);
        history.retitle(u"https://www.baidu.com/"_s, u"百度"_s);
        QTRY_COMPARE(changed.size(), 4);
        QList<Visit> found;
        bool answered = false;
        history.queryVisits(u"bd"_s, 10, this, [&](const QList<Visit> &visits) {
            found = visits;
            answered = true;
        });
        QTRY_VERIFY(answered);
        QCOMPARE(found.size(), 2);
        history.record(u"https://last.example/"_s, u"last"_s);
        // Destroyed with a write still queued: it reaches the file.
    }
    History again(m_dir->path());
    QSignalSpy loaded(&again, &History::loaded);
    QVERIFY(loaded.wait());
    QCOMPARE(again.pages().size(), 2);
}

void TestHistory::history_oldVisits_forgotten()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        HistoryStore store(dbPath());
        QVERIFY(store.open().isEmpty());
        store.record(u"https://old.example/"_s, u"old"_s, now - (HistoryStore::keepDays + 1) * kDay);
        store.record(u"https://both.example/"_s, u"both"_s, now - (HistoryStore::keepDays + 5) * kDay);
        store.record(u"https://both.example/"_s, u"both"_s, now - (HistoryStore::keepDays - 1) * kDay);
    }
    History history(m_dir->path());
    QSignalSpy loaded(&history, &History::loaded);
    QVERIFY(loaded.wait());
    QCOMPARE(history.pages().size(), 1);
    QCOMPARE(history.pages().at(0).address, u"https://both.example/"_s);
    QCOMPARE(history.pages().at(0).visits, 1);
}

// The store opened at once, or only when the window starts it; what was asked for before
// waits for it in order.
static void openings()
{
    QTest::addColumn<History::Opening>("opening");
    QTest::addRow("opened at once") << History::Opening::Now;
    QTest::addRow("opened when started") << History::Opening::Deferred;
}

void TestHistory::history_recordBeforeLoaded_kept_data()
{
    openings();
}

void TestHistory::history_recordBeforeLoaded_kept()
{
    {
        HistoryStore store(dbPath());
        QVERIFY(store.open().isEmpty());
        store.record(u"https://stored.example/"_s, u"stored"_s, QDateTime::currentMSecsSinceEpoch() - kDay);
    }
    QFETCH(History::Opening, opening);
    History history(m_dir->path(), nullptr, opening);
    QSignalSpy loaded(&history, &History::loaded);
    history.record(u"https://early.example/"_s, u"early"_s);
    history.record(u"https://stored.example/"_s, u"stored"_s);
    history.start();
    QVERIFY(loaded.wait());
    QCOMPARE(history.pages().size(), 2);
    for (const PageEntry &page : history.pages())
        QCOMPARE(page.visits, page.address.contains(u"stored"_s) ? 2 : 1);
}

void TestHistory::history_clearBeforeLoaded_stays_data()
{
    openings();
}

void TestHistory::history_clearBeforeLoaded_stays()
{
    {
        HistoryStore store(dbPath());
        QVERIFY(store.open().isEmpty());
        store.record(u"https://stored.example/"_s, u"stored"_s, QDateTime::currentMSecsSinceEpoch() - kDay);
    }
    QFETCH(History::Opening, opening);
    History history(m_dir->path(), nullptr, opening);
    QSignalSpy loaded(&history, &History::loaded);
    history.clear();
    history.record(u"https://after.example/"_s, u"after"_s);
    history.start();
    QVERIFY(loaded.wait());
    QCOMPARE(history.pages().size(), 1);
    QCOMPARE(history.pages().at(0).address, u"https://after.example/"_s);
}

void TestHistory::history_deferredAndNeverStarted_stillWrites()
{
    {
        History history(m_dir->path(), nullptr, History::Opening::Deferred);
        history.record(u"https://closed-early.example/"_s, u"early"_s);
    }
    HistoryStore store(dbPath());
    QVERIFY(store.open().isEmpty());
    QCOMPARE(store.pages().size(), 1);
    QCOMPARE(store.pages().at(0).address, u"https://closed-early.example/"_s);
}

void TestHistory::window_listsByDay_searches_deletes()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        HistoryStore store(dbPath());
        QVERIFY(store.open().isEmpty());
        store.record(u"https://old.example/"_s, u"Old"_s, now - 3 * kDay);
    }
    History history(m_dir->path());
    QSignalSpy loaded(&history, &History::loaded);
    QVERIFY(loaded.wait());
    history.record(u"https://www.baidu.com/"_s, u"百度一下"_s);
    history.record(u"https://news.sina.com.cn/a"_s, u"新浪新闻"_s);
    history.record(u"https://news.sina.com.cn/b"_s, u"新浪体育"_s);

    QStringList opened;
    bool answer = false;
    QStringList questions;
    HistoryWindow window(
        history, [&opened](const QString &a) { opened.append(a); },
        [&](const QString &q) {
            questions.append(q);
            return answer;
        });
    const QString today = u"今天 - "_s;
    const QString oldDay
        = QLocale(QLocale::Chinese, QLocale::China)
              .toString(QDateTime::fromMSecsSinceEpoch(now - 3 * kDay).date(), u"yyyy年M月d日 dddd"_s);
    const QStringList all { u"  新浪体育|https://news.sina.com.cn/b"_s,
        u"  新浪新闻|https://news.sina.com.cn/a"_s, u"  百度一下|https://www.baidu.com/"_s, oldDay,
        u"  Old|https://old.example/"_s };
    QTRY_COMPARE(window.shownLines().mid(1), all);
    QVERIFY(window.shownLines().at(0).startsWith(today));

    window.search()->setText(u"xlxw"_s);
    QTRY_COMPARE(window.shownLines().mid(1), QStringList { u"  新浪新闻|https://news.sina.com.cn/a"_s });

    window.list()->setCurrentItem(window.list()->topLevelItem(0)->child(0));
    window.openSelected();
    QCOMPARE(opened, QStringList { u"https://news.sina.com.cn/a"_s });
    window.deleteSelected();
    QTRY_VERIFY(window.shownLines().isEmpty());
    window.search()->clear();
    QTRY_COMPARE(window.shownLines().size(), 5);

    window.list()->setCurrentItem(window.list()->topLevelItem(0)->child(0)); // 新浪体育
    answer = false;
    window.deleteSelectedSite();
    QCOMPARE(questions.size(), 1);
    window.clearAll();
    QCOMPARE(questions.size(), 2);
    answer = true;
    window.deleteSelectedSite();
    QTRY_COMPARE(window.shownLines().mid(1),
        (QStringList { u"  百度一下|https://www.baidu.com/"_s, oldDay, u"  Old|https://old.example/"_s }));
    QCOMPARE(history.pages().size(), 2);
    window.clearAll();
    QTRY_VERIFY(window.shownLines().isEmpty());
    QVERIFY(history.pages().isEmpty());
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
