#include "addresscompletion.h"
#include "completion.h"
#include "linkfile.h"
#include "pinyin.h"

#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kNow = 1'800'000'000'000;
constexpr qint64 kDay = 24LL * 3600 * 1000;

PageEntry page(const QString &address, const QString &title, int visits, qint64 daysAgo)
{
    const Pinyin::Keys keys = Pinyin::of(title);
    PageEntry p { address, title, keys.full, keys.initials, visits, kNow - daysAgo * kDay };
    return p;
}

FavoriteEntry favorite(const QString &name, const QString &address)
{
    const Pinyin::Keys keys = Pinyin::of(name);
    return { name, u"/f/"_s + name + u".link"_s, address, keys.full, keys.initials, name.toLower(),
        address.toLower() };
}

QStringList rows(const QList<Suggestion> &suggestions)
{
    QStringList out;
    for (const Suggestion &s : suggestions)
        out.append((s.kind == Suggestion::Kind::Favorite ? u"F "_s : u"H "_s) + s.address);
    return out;
}

} // namespace

class TestCompletion final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void suggest_data();
    void suggest();
    void suggest_limitAndBlank();
    void readFavorites_skipsBadFiles();
    void keys_data();
    void keys();
};

void TestCompletion::suggest_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("address start, scheme and www. left out; pinyin start ranks by visits")
        << u"bai"_s
        << QStringList { u"F https://www.baidu.com/"_s, u"H https://map.example/"_s,
               u"H https://baike.example/"_s };
    QTest::addRow("pinyin initials: favorite first, its history row not repeated")
        << u"bd"_s << QStringList { u"F https://www.baidu.com/"_s, u"H https://map.example/"_s };
    QTest::addRow("pinyin in full") << u"xinlang"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("pinyin initials of a phrase")
        << u"xlxw"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("pinyin with a blank") << u"xin wen"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("title word") << u"新闻"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("mixed title: ASCII word then pinyin")
        << u"qqyx"_s << QStringList { u"H https://mail.qq.com/"_s };
    QTest::addRow("mixed title: Chinese part") << u"邮箱"_s << QStringList { u"H https://mail.qq.com/"_s };
    QTest::addRow("letter case") << u"QQ"_s << QStringList { u"H https://mail.qq.com/"_s };
    QTest::addRow("more visits first at the same age")
        << u"shop"_s << QStringList { u"H https://shop.example/often"_s, u"H https://shop.example/once"_s };
    QTest::addRow("recent first at the same count")
        << u"news.example"_s
        << QStringList { u"H https://news.example/today"_s, u"H https://news.example/old"_s };
    QTest::addRow("start of address before a frequent match inside")
        << u"wiki"_s << QStringList { u"H https://wiki.example/"_s, u"H https://frequent.example/wiki"_s };
    QTest::addRow("one letter: only where something starts with it")
        << u"x"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("one Chinese character at the start of a title")
        << u"新"_s << QStringList { u"H https://news.sina.com.cn/"_s };
    QTest::addRow("nothing") << u"zzzz"_s << QStringList {};
    QTest::addRow("pinyin never matches non-letters") << u"b-d"_s << QStringList {};
}

void TestCompletion::suggest()
{
    QFETCH(QString, typed);
    const QList<FavoriteEntry> favorites { favorite(u"百度"_s, u"https://www.baidu.com/"_s),
        favorite(u"Work"_s, u"https://work.example/"_s) };
    const QList<PageEntry> pages {
        page(u"https://www.baidu.com/"_s, u"百度一下，你就知道"_s, 50, 0),
        page(u"https://baike.example/"_s, u"Encyclopedia"_s, 1, 10),
        page(u"https://map.example/"_s, u"百度地图"_s, 2, 1),
        page(u"https://news.sina.com.cn/"_s, u"新浪新闻"_s, 3, 2),
        page(u"https://mail.qq.com/"_s, u"QQ邮箱"_s, 1, 1),
        page(u"https://shop.example/once"_s, u"Shop"_s, 1, 1),
        page(u"https://shop.example/often"_s, u"Shop"_s, 9, 1),
        page(u"https://news.example/old"_s, u"N"_s, 4, 60),
        page(u"https://news.example/today"_s, u"N"_s, 4, 0),
        page(u"https://frequent.example/wiki"_s, u"F"_s, 3, 0),
        page(u"https://wiki.example/"_s, u"W"_s, 2, 0),
    };
    QFETCH(QStringList, expected);
    QCOMPARE(rows(Completion::suggest(typed, favorites, pages, kNow)), expected);
}

void TestCompletion::suggest_limitAndBlank()
{
    QList<PageEntry> pages;
    for (int i = 0; i < 40; ++i)
        pages.append(page(u"https://site%1.example/"_s.arg(i), u"Site"_s, i + 1, 0));
    const QList<Suggestion> found = Completion::suggest(u"site"_s, {}, pages, kNow);
    QCOMPARE(found.size(), Completion::rows);
    QCOMPARE(found.first().address, u"https://site39.example/"_s);
    QVERIFY(Completion::suggest(u"   "_s, {}, pages, kNow).isEmpty());
}

void TestCompletion::readFavorites_skipsBadFiles()
{
    QTemporaryDir dir;
    LinkFile::write(dir.filePath(u"百度.link"_s), u"https://www.baidu.com/"_s);
    QFile bad(dir.filePath(u"bad.link"_s));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a link file\r\n");
    bad.close();
    const QList<FavoriteEntry> favorites = Completion::readFavorites(dir.path());
    QCOMPARE(favorites.size(), 1);
    QCOMPARE(favorites.at(0).name, u"百度"_s);
    QCOMPARE(favorites.at(0).pinyinInitials, u"bd"_s);
}

void TestCompletion::keys_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("opened"); // empty: nothing chosen
    QTest::addColumn<bool>("enterPassedOn");
    QTest::addColumn<bool>("open");
    QTest::addRow("Down, Enter: the first row")
        << QList<int> { Qt::Key_Down, Qt::Key_Return } << u"https://www.baidu.com/"_s << false << false;
    QTest::addRow("Down twice, Enter") << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_Enter }
                                       << u"https://map.example/"_s << false << false;
    QTest::addRow("Up wraps to the last row")
        << QList<int> { Qt::Key_Up, Qt::Key_Return } << u"https://map.example/"_s << false << false;
    QTest::addRow("Enter without a choice goes to the box")
        << QList<int> { Qt::Key_Return } << QString() << true << false;
    QTest::addRow("Esc closes the list") << QList<int> { Qt::Key_Escape } << QString() << false << false;
    QTest::addRow("Down and back up: no choice")
        << QList<int> { Qt::Key_Down, Qt::Key_Up, Qt::Key_Return } << QString() << true << false;
    QTest::addRow("Down only: still open") << QList<int> { Qt::Key_Down } << QString() << false << true;
}

void TestCompletion::keys()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, opened);

    QTemporaryDir dir;
    LinkFile::write(dir.filePath(u"百度.link"_s), u"https://www.baidu.com/"_s);
    QWidget window;
    window.resize(600, 400);
    auto *edit = new QLineEdit(&window);
    edit->setGeometry(10, 10, 300, 24);
    // The box's own Enter rule, as the main window has it.
    int boxEnters = 0;
    connect(edit, &QLineEdit::returnPressed, this, [&boxEnters] { ++boxEnters; });
    QString chosen;
    AddressCompletion completion(
        edit, nullptr, dir.path(), [&chosen](const Suggestion &s) { chosen = s.address; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();

    // Without history, a second favorite gives the second row.
    LinkFile::write(dir.filePath(u"百度地图.link"_s), u"https://map.example/"_s);
    QTest::keyClicks(edit, u"bd"_s);
    QVERIFY(completion.isOpen());
    QCOMPARE(completion.list()->count(), 2);
    for (const int key : keys)
        QTest::keyClick(edit, Qt::Key(key));
    QCOMPARE(chosen, opened);
    QFETCH(bool, enterPassedOn);
    QCOMPARE(boxEnters > 0, enterPassedOn);
    QFETCH(bool, open);
    QCOMPARE(completion.isOpen(), open);
    if (!opened.isEmpty())
        QCOMPARE(edit->text(), opened);
}

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
