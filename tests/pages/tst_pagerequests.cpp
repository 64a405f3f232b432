#include "enginewindow.h"
#include "form1.h"
#include "loopbackserver.h"
#include "pageset.h"
#include "scripteddialogs.h"
#include "webbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <memory>

namespace {

QByteArray page(const QByteArray &title, const QByteArray &body = QByteArray())
{
    return "<!doctype html><html><head><meta charset=utf-8><title>" + title + "</title></head><body>" + body
        + "</body></html>";
}

// One page behind HTTP basic authentication: 401 until the right login comes.
class LoginServer final : public QTcpServer
{
public:
    explicit LoginServer(const QByteArray &userColonPassword)
        : m_expected("Authorization: Basic " + userColonPassword.toBase64())
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/secret").arg(serverPort()); }
    int refused = 0;

private:
    void answer(QTcpSocket *socket)
    {
        m_pending[socket] += socket->readAll();
        if (!m_pending[socket].contains("\r\n\r\n"))
            return;
        const QByteArray head = m_pending.take(socket);
        const bool allowed = head.contains(m_expected);
        refused += allowed ? 0 : 1;
        const QByteArray body = allowed ? page("Secret") : page("Locked");
        socket->write(
            (allowed ? "HTTP/1.1 200 OK\r\n"
                     : "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"kovalis-test\"\r\n")
            + QByteArray("Content-Type: text/html; charset=utf-8\r\nContent-Length: ")
            + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
    QByteArray m_expected;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace

// What a page asks of the user, on the real engine with local pages and scripted answers.
class tst_PageRequests : public QObject
{
    Q_OBJECT

private:
    using Fixture = EngineWindow;

private Q_SLOTS:
    void download_isSavedWhereTheUserSays_data()
    {
        QTest::addColumn<QString>("answer"); // where the user saves it, in the target folder
        QTest::addColumn<QString>("status"); // how the status bar ends, "$" the saved path
        QTest::addRow("saved") << QStringLiteral("已保存.bin") << QStringLiteral("下载完成：$");
        QTest::addRow("cancelled") << QString() << QStringLiteral("已取消下载 报告.bin");
        QTest::addRow("folder is a file")
            << QStringLiteral("occupied/x.bin") << QStringLiteral("下载 x.bin 失败：");
    }

    void download_isSavedWhereTheUserSays()
    {
        QFETCH(QString, answer);
        QFETCH(QString, status);
        Fixture f;
        QByteArray bytes(300 * 1024, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        LoopbackServer::Response file;
        file.body = bytes;
        file.contentType = "application/octet-stream";
        file.extraHeaders = "Content-Disposition: attachment; filename*=UTF-8''%E6%8A%A5%E5%91%8A.bin\r\n";
        f.server.serve("/get", file);
        QTemporaryDir target;
        QFile occupied(target.filePath(QStringLiteral("occupied")));
        QVERIFY(occupied.open(QIODevice::WriteOnly));
        occupied.close();
        const QString chosen = answer.isEmpty() ? QString() : target.filePath(answer);
        QString suggested;
        f.asker.save = [&](const QString &path) {
            suggested = path;
            return chosen;
        };
        // Newer engines report the address they left for the download as a failed load, which
        // may replace the download's message in the status bar at once.
        QStringList said;
        connect(f.web(0), &Browser::statusTextChanged, this, [&](const QString &text) { said << text; });
        QVERIFY(f.form->Form_Load(f.server.url("/get")));
        QTRY_VERIFY_WITH_TIMEOUT(!suggested.isEmpty(), 20000);
        QCOMPARE(QFileInfo(suggested).fileName(), QStringLiteral("报告.bin"));
        status.replace(QLatin1Char('$'), QDir::toNativeSeparators(chosen));
        QTRY_VERIFY2_WITH_TIMEOUT(std::any_of(said.cbegin(), said.cend(),
                                      [&](const QString &text) { return text.startsWith(status); }),
            qPrintable(said.join(u'|')), 20000);
        if (answer != QStringLiteral("已保存.bin")) {
            // Nothing is left behind, not even a part of the file, by the time the engine has
            // loaded the next page.
            f.server.serve("/after", page("After"));
            f.front()->Navigate(f.server.url("/after"));
            QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("After"), 20000);
            QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
                QStringList { QStringLiteral("occupied") });
            QVERIFY(!QFileInfo::exists(suggested));
            return;
        }
        QFile saved(chosen);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll() == bytes);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden),
            (QStringList { QStringLiteral("occupied"), QStringLiteral("已保存.bin") }));
    }

    void basicAuthentication_asksForALogin_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("title");
        QTest::addRow("right login") << QStringLiteral("用户") << true << QStringLiteral("Secret");
        QTest::addRow("cancelled") << QString() << false << QStringLiteral("Locked");
    }

    void basicAuthentication_asksForALogin()
    {
        QFETCH(QString, user);
        QFETCH(bool, answers);
        QFETCH(QString, title);
        Fixture f;
        LoginServer secret((user + QStringLiteral(":密码")).toUtf8());
        QStringList prompts;
        f.asker.logIn = [&](const QString &prompt) -> std::optional<Asker::Login> {
            prompts << prompt;
            if (!answers)
                return std::nullopt;
            return Asker::Login { user, QStringLiteral("密码") };
        };
        QVERIFY(f.form->Form_Load(secret.url()));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), title, 20000);
        QCOMPARE(prompts.size(), 1);
        QVERIFY(prompts.first().contains(QStringLiteral("127.0.0.1")));
        QVERIFY(prompts.first().contains(QStringLiteral("kovalis-test")));
    }

    void permission_isAskedOncePerSite_data()
    {
        QTest::addColumn<QByteArray>("request"); // script whose promise ends in 'granted' or 'denied'
        QTest::addColumn<QString>("asked"); // what the question names
        QTest::addColumn<bool>("allow");
        const QByteArray notification = "Notification.requestPermission()";
        QTest::addRow("notifications refused") << notification << QStringLiteral("显示通知") << false;
        QTest::addRow("notifications allowed") << notification << QStringLiteral("显示通知") << true;
#if KOVALIS_PERMISSION_OBJECTS
        const QByteArray clipboard = "navigator.clipboard.readText().then(()=>'granted',()=>'denied')";
        // Refused, newer engines give an empty list instead of an error.
        const QByteArray fonts = "queryLocalFonts().then(f=>f.length?'granted':'denied',()=>'denied')";
        QTest::addRow("clipboard refused") << clipboard << QStringLiteral("读取和写入剪贴板") << false;
        QTest::addRow("clipboard allowed") << clipboard << QStringLiteral("读取和写入剪贴板") << true;
        QTest::addRow("local fonts refused") << fonts << QStringLiteral("查看您电脑上安装的字体") << false;
        QTest::addRow("local fonts allowed") << fonts << QStringLiteral("查看您电脑上安装的字体") << true;
#endif
    }

    void permission_isAskedOncePerSite()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, asked);
        QFETCH(bool, allow);
        Fixture f;
        // The engine keeps answers per profile, which every window of this program shares.
        PermissionAsker::forgetEngineAnswers();
        QStringList questions;
        f.asker.answer = [&](const QString &question) {
            questions << question;
            return allow;
        };
        // Some requests need the user's click; the page asks twice, on the first click only.
        f.server.serve("/ask",
            page("ready",
                "<div style='position:fixed;inset:0'></div><script>let clicked=false;"
                "function ask(){return "
                    + request
                    + "}"
                      "onclick=()=>{if(clicked)return;clicked=true;"
                      "ask().then(p=>{document.title='first '+p;return ask()})"
                      ".then(p=>document.title+=' again '+p)}</script>"));
        QVERIFY(f.form->Form_Load(f.server.url("/ask")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("ready"), 20000);
        QWidget *input = f.front()->view()->focusProxy();
        for (int i = 0; i < 20 && f.form->windowTitle() == QStringLiteral("ready"); ++i) {
            QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(50, 50));
            if (QTest::qWaitFor([&] { return f.form->windowTitle() != QStringLiteral("ready"); }, 1000))
                break;
        }
        const QString answer = allow ? QStringLiteral("granted") : QStringLiteral("denied");
        const QString expected = QStringLiteral("first %1 again %1").arg(answer);
        QTRY_VERIFY2_WITH_TIMEOUT(f.form->windowTitle() == expected,
            qPrintable(
                f.form->windowTitle() + QStringLiteral(" / asked: ") + questions.join(QLatin1Char('|'))),
            20000);
        // Asked once; the answer is kept for the site.
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions.first().contains(asked), qPrintable(questions.first()));
        QVERIFY2(questions.first().contains(f.server.url("")), qPrintable(questions.first()));
    }

    void findInPage_stepsThroughMatches()
    {
        Fixture f;
        f.server.serve("/find", page("Find", "苹果 香蕉 苹果 樱桃 苹果"));
        QVERIFY(f.form->Form_Load(f.server.url("/find")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Find"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("完成"), 20000);
        QList<int> active;
        connect(f.front()->view()->page(), &QWebEnginePage::findTextFinished, this,
            [&](const QWebEngineFindTextResult &r) { active << r.activeMatch() * 10 + r.numberOfMatches(); });
        QTest::keyClick(f.form.get(), Qt::Key_F, Qt::ControlModifier);
        auto *text = f.form->findChild<QLineEdit *>(QStringLiteral("FindText"));
        QVERIFY(text->isVisible());
        text->setText(QStringLiteral("苹果"));
        const QList<int> expected { 13, 23, 33, 13, 33 };
        const QList<Qt::KeyboardModifiers> steps { {}, {}, {}, {}, Qt::ShiftModifier };
        for (int i = 0; i < steps.size(); ++i) {
            QTest::keyClick(text, Qt::Key_Return, steps.at(i));
            QTRY_COMPARE_WITH_TIMEOUT(active.size(), i + 1, 10000);
        }
        QCOMPARE(active, expected);
        QCOMPARE(f.status(), QStringLiteral("第 3 处，共 3 处"));
        text->setText(QStringLiteral("葡萄"));
        QTest::keyClick(text, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(f.status(), QStringLiteral("找不到“葡萄”"), 10000);
    }

    void zoomKeys_changeAndResetTheFactor()
    {
        Fixture f;
        f.server.serve("/z", page("Zoom"));
        QVERIFY(f.form->Form_Load(f.server.url("/z")));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Zoom"), 20000);
        const struct
        {
            Qt::Key key;
            qreal factor;
        } steps[]
            = { { Qt::Key_Plus, 1.1 }, { Qt::Key_Equal, 1.2 }, { Qt::Key_Minus, 1.1 }, { Qt::Key_0, 1.0 } };
        for (const auto &step : steps) {
            QTest::keyClick(f.form.get(), step.key, Qt::ControlModifier);
            QTRY_VERIFY(qAbs(f.front()->zoomFactor() - step.factor) < 0.001);
        }
    }

    void profile_keepsItsDataInTheUsersFolder()
    {
        QWebEngineProfile *profile = WebBrowser::sharedProfile();
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(profile->persistentCookiesPolicy(), QWebEngineProfile::AllowPersistentCookies);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString program = QCoreApplication::applicationDirPath();
        for (const QString &path : { profile->persistentStoragePath(), profile->cachePath() }) {
            QVERIFY2(!path.startsWith(program + QLatin1Char('/')), qPrintable(path));
            QVERIFY2(path.contains(QStringLiteral("kovalis")), qPrintable(path));
        }
        QVERIFY2(
            profile->persistentStoragePath().startsWith(data), qPrintable(profile->persistentStoragePath()));
#if KOVALIS_PERMISSION_OBJECTS
        // The engine would keep permission answers on disk; they last for this run only.
        QCOMPARE(profile->persistentPermissionsPolicy(),
            QWebEngineProfile::PersistentPermissionsPolicy::StoreInMemory);
#endif
    }
};

int main(int argc, char **argv)
{
    tst_PageRequests test;
    return runEngineTest(test, argc, argv);
}

#include "tst_pagerequests.moc"
