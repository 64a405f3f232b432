#include "dialogs.h"
#include "enginewindow.h"
#include "language.h"
#include "pageset.h"
#include "webbrowser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

// "复制(&C)\tCtrl+C" reads "复制".
QString shown(QString text)
{
    text = text.section(u'\t', 0, 0);
    text.remove(QRegularExpression(u"\\(&.\\)"_s));
    text.remove(u'&');
    return text.trimmed();
}

QStringList shownTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *action : actions) {
        if (!action->isSeparator() && action->isVisible())
            texts.append(shown(action->text()));
    }
    return texts;
}

bool hasChinese(const QString &text)
{
    return text.contains(QRegularExpression(u"\\p{Han}"_s));
}

// The title and buttons of the next modal box, which is then closed as if by Esc.
struct Box
{
    QString title;
    QStringList buttons;
};

class BoxReader final : public QObject
{
public:
    Box box;
    bool seen = false;

    BoxReader()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            m_timer.stop();
            box.title = modal->windowTitle();
            for (const QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
                if (button->isVisible())
                    box.buttons.append(shown(button->text()));
            }
            seen = true;
            modal->close();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

// Boxes are shown to a person here, not written to standard error.
class Attended final
{
public:
    Attended()
        : m_value(qgetenv("KOVALIS_UNATTENDED"))
    {
        qunsetenv("KOVALIS_UNATTENDED");
    }
    ~Attended() { qputenv("KOVALIS_UNATTENDED", m_value); }

private:
    QByteArray m_value;
};

} // namespace

// Qt's texts, the engine's and the languages and faces pages get are Chinese whatever the
// system's locale; CTest runs this under C.UTF-8 and under zh_CN.UTF-8.
class tst_Language : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<EngineWindow> f;

    QWebEnginePage *frontPage() { return f->front()->view()->page(); }

    QVariant evaluate(const QString &script)
    {
        QVariant result;
        bool done = false;
        frontPage()->runJavaScript(script, [&](const QVariant &value) {
            result = value;
            done = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 20000); }();
        return result;
    }

    QString plainText()
    {
        QString result;
        bool done = false;
        frontPage()->toPlainText([&](const QString &text) {
            result = text;
            done = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 20000); }();
        return result;
    }

    // Opens a page of its own in the one page of the window and waits until it has loaded.
    void open(const QByteArray &name, const QByteArray &html)
    {
        const QByteArray path = '/' + name + '-' + QByteArray::number(++m_opened);
        f->server.serve(path, html);
        f->front()->Navigate(f->server.url(path));
        QTRY_COMPARE_WITH_TIMEOUT(frontPage()->url().path(), QString::fromLatin1(path), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f->status(), u"完成"_s, 20000);
    }

    int m_opened = 0;

private Q_SLOTS:
    void initTestCase()
    {
        f = std::make_unique<EngineWindow>();
        f->server.serve("/", EngineWindow::page("Start"));
        QVERIFY(f->form->Form_Load(f->server.url("/")));
        QTRY_COMPARE_WITH_TIMEOUT(f->status(), u"完成"_s, 20000);
        qInfo() << "system languages" << QLocale::system().uiLanguages();
    }

    void cleanupTestCase() { f.reset(); }

    void acceptLanguage_data()
    {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QString>("header");
        const QString chineseFirst = u"zh-CN,zh;q=0.9,en;q=0.8"_s;
        QTest::addRow("C locale") << QStringList { u"C"_s } << chineseFirst;
        QTest::addRow("no languages") << QStringList() << chineseFirst;
        QTest::addRow("English") << QStringList { u"en-US"_s, u"en"_s } << chineseFirst;
        QTest::addRow("German, then simplified Chinese")
            << QStringList { u"de-DE"_s, u"zh-CN"_s } << chineseFirst;
        QTest::addRow("zh_CN, all its forms")
            << QStringList { u"zh-Hans-CN"_s, u"zh-CN"_s, u"zh-Hans"_s, u"zh"_s } << chineseFirst;
        QTest::addRow("traditional first")
            << QStringList { u"zh-TW"_s, u"zh-CN"_s, u"en"_s } << u"zh-TW,zh-CN;q=0.9,zh;q=0.8,en;q=0.7"_s;
        QTest::addRow("Hong Kong only") << QStringList { u"zh-Hant-HK"_s } << u"zh-HK,zh;q=0.9,en;q=0.8"_s;
    }

    void acceptLanguage()
    {
        QFETCH(QStringList, system);
        QFETCH(QString, header);
        QCOMPARE(Language::acceptLanguage(system), header);
    }

    void missingCatalogues_areNamed()
    {
        QTemporaryDir empty;
        QCOMPARE(Language::installTranslations(empty.path()),
            QStringList({ u"qtbase_zh_CN.qm"_s, u"qtwebengine_zh_CN.qm"_s }));
    }

    void qtBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("texts");
        QTest::addRow("message box") << 0 << u"Kovalis"_s << QStringList { u"确定"_s };
        QTest::addRow("input box") << 1 << u"Kovalis"_s << QStringList { u"确定"_s, u"取消"_s };
        QTest::addRow("save dialog of downloads")
            << 2 << u"保存文件"_s << QStringList { u"保存"_s, u"取消"_s };
    }

    void qtBoxes()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QStringList, texts);
        BoxReader reader;
        {
            Attended attended;
            QtDialogs dialogs(f->form.get());
            if (kind == 0)
                dialogs.MsgBox(u"消息"_s);
            else if (kind == 1)
                dialogs.InputBox(u"问题"_s, QString());
            else
                QFileDialog::getSaveFileName(f->form.get(), u"保存文件"_s, QDir::tempPath() + u"/a.txt"_s);
        }
        QVERIFY(reader.seen);
        QCOMPARE(reader.box.title, title);
        for (const QString &text : texts)
            QVERIFY2(reader.box.buttons.contains(text), qPrintable(reader.box.buttons.join(u'|')));
    }

    void addressBoxMenu()
    {
        const std::unique_ptr<QMenu> menu(f->Text1()->createStandardContextMenu());
        const QStringList texts = shownTexts(menu->actions());
        for (const QString &text : { u"撤销"_s, u"复制"_s, u"粘贴"_s, u"全选"_s })
            QVERIFY2(texts.contains(text), qPrintable(texts.join(u'|')));
        for (const QString &text : texts)
            QVERIFY2(hasChinese(text), qPrintable(texts.join(u'|')));
    }

    void pageContextMenu_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QStringList>("required");
        QTest::addRow("page") << QByteArray("<p id=x style='height:400px'>菜单</p>") << QString()
                              << QStringList { u"返回"_s, u"前进"_s, u"重新加载"_s, u"保存网页"_s,
                                     u"查看网页源代码"_s };
        QTest::addRow("link") << QByteArray("<a id=x href='/elsewhere'>链接</a>") << QString()
                              << QStringList { u"复制链接地址"_s };
        QTest::addRow("image") << QByteArray("<img id=x width=60 height=60 src='data:image/png;base64,"
                                             "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8D"
                                             "wHwAFBQIAX8jx0gAAAABJRU5ErkJggg=='>")
                               << QString() << QStringList { u"复制图片"_s };
        QTest::addRow("selected text") << QByteArray("<p><span id=x>选中的文字</span></p>")
                                       << u"getSelection().selectAllChildren(document.getElementById('x'))"_s
                                       << QStringList { u"复制"_s };
        QTest::addRow("text field") << QByteArray("<input id=x value='文字'>")
                                    << u"document.getElementById('x').focus()"_s
                                    << QStringList { u"粘贴"_s, u"全选"_s };
    }

    // The engine's menu for what is under the pointer: every entry in Chinese.
    void pageContextMenu()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, prepare);
        QFETCH(QStringList, required);
        open("menu", EngineWindow::page("Menu", body));
        if (!prepare.isEmpty())
            evaluate(prepare);
        const QVariantList centre
            = evaluate(u"(r => [r.left + r.width / 2, r.top + Math.min(r.height / 2, 20)])"
                       "(document.getElementById('x').getBoundingClientRect())"_s)
                  .toList();
        QCOMPARE(centre.size(), 2);
        const QPoint at(qRound(centre[0].toDouble()), qRound(centre[1].toDouble()));
        QWidget *target = f->front()->view()->focusProxy();
        QVERIFY(target);
        // The engine answers a right click with the menu once the page is drawn.
        for (int attempt = 0; attempt < 10; ++attempt) {
            QTest::mouseClick(target, Qt::RightButton, {}, at);
            if (QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000))
                break;
        }
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QStringList texts = shownTexts(menu->actions());
        qInfo().noquote() << "menu:" << texts.join(u", "_s);
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
        for (const QString &text : required)
            QVERIFY2(texts.contains(text), qPrintable(texts.join(u'|')));
        for (const QString &text : texts)
            QVERIFY2(hasChinese(text), qPrintable(texts.join(u'|')));
    }

    void errorPage_refusedConnection()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString address = u"http://127.0.0.1:%1/"_s.arg(closed.serverPort());
        closed.close();
        f->front()->Navigate(address);
        QTRY_VERIFY_WITH_TIMEOUT(f->status().startsWith(u"无法打开网页"_s), 20000);
        QString text;
        QTRY_VERIFY_WITH_TIMEOUT((text = plainText()).contains(u"ERR_CONNECTION_REFUSED"_s), 20000);
        QVERIFY2(hasChinese(text), qPrintable(text));
        QVERIFY2(!text.contains(u"refused to connect"_s), qPrintable(text));
    }

    void pageLanguage()
    {
        open("language", EngineWindow::page("Language"));
        QCOMPARE(evaluate(u"navigator.language"_s).toString(), u"zh-CN"_s);
        const QByteArray head
            = f->server.requestHeaders.at(f->server.requests.indexOf(frontPage()->url().path().toLatin1()));
        QByteArrayList lines = head.split('\n');
        for (QByteArray &line : lines)
            line = line.trimmed();
        QVERIFY2(lines.contains("Accept-Language: zh-CN,zh;q=0.9,en;q=0.8"), head.constData());
    }

    void windowFace_isTheChineseSansFace()
    {
        QCOMPARE(QFontInfo(QFont(u"微软雅黑"_s)).family(), Language::chineseSansFamily());
    }

    void pageWithoutFonts_isDrawnInTheChineseSansFace()
    {
        QCOMPARE(Language::chineseSansFamily(), u"Noto Sans CJK SC"_s);
        open("fonts", EngineWindow::page("Fonts", "<span id=a>中文字体 Latin</span>"));
        QCOMPARE(evaluate(u"getComputedStyle(document.getElementById('a')).fontFamily"_s).toString(),
            u"\"Noto Sans CJK SC\""_s);
    }

    void pageDialogs_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("buttons");
        QTest::addRow("alert") << u"alert('提醒')"_s << QStringList { u"确定"_s };
        QTest::addRow("confirm") << u"confirm('确认')"_s << QStringList { u"确定"_s, u"取消"_s };
        QTest::addRow("prompt") << u"prompt('问题', '答案')"_s << QStringList { u"确定"_s, u"取消"_s };
    }

    void pageDialogs()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, buttons);
        open("dialogs", EngineWindow::page("Dialogs"));
        f->dialogs.pageBoxes.clear();
        frontPage()->runJavaScript(script);
        // The page's box comes to the window's Dialogs; the real one is put up as the screen would.
        QTRY_COMPARE_WITH_TIMEOUT(f->dialogs.pageBoxes.size(), 1, 20000);
        BoxReader reader;
        QtDialogs(f->form.get()).PageBox(f->dialogs.pageBoxes.first());
        QVERIFY(reader.seen);
        QVERIFY2(hasChinese(reader.box.title), qPrintable(reader.box.title));
        QVERIFY2(
            !reader.box.title.contains(u"Javascript"_s, Qt::CaseInsensitive), qPrintable(reader.box.title));
        for (const QString &text : buttons)
            QVERIFY2(reader.box.buttons.contains(text), qPrintable(reader.box.buttons.join(u'|')));
    }
};

int main(int argc, char **argv)
{
    tst_Language test;
    return runEngineTest(test, argc, argv);
}

#include "tst_language.moc"
