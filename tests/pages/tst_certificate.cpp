#include "enginewindow.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// A site whose certificate the engine does not trust: refused unless the user goes on.
class tst_Certificate : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_keys;
    QSslConfiguration m_tls;

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("needs openssl to make a certificate");
        QProcess openssl;
        openssl.setWorkingDirectory(m_keys.path());
        openssl.start(QStringLiteral("openssl"),
            { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                QStringLiteral("key.pem"), QStringLiteral("-out"), QStringLiteral("cert.pem"),
                QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                QStringLiteral("/CN=127.0.0.1") });
        QVERIFY(openssl.waitForFinished(30000));
        QCOMPARE(openssl.exitCode(), 0);
        QFile cert(m_keys.filePath(QStringLiteral("cert.pem")));
        QFile key(m_keys.filePath(QStringLiteral("key.pem")));
        QVERIFY(cert.open(QIODevice::ReadOnly) && key.open(QIODevice::ReadOnly));
        m_tls = QSslConfiguration::defaultConfiguration();
        m_tls.setLocalCertificate(QSslCertificate(&cert, QSsl::Pem));
        m_tls.setPrivateKey(QSslKey(&key, QSsl::Rsa, QSsl::Pem));
    }

    void untrustedCertificate_isRefusedUnlessAccepted_data()
    {
        QTest::addColumn<bool>("goOn");
        // Refused first: an accepted certificate is remembered by the engine for the run.
        QTest::addRow("refused") << false;
        QTest::addRow("accepted") << true;
    }

    void untrustedCertificate_isRefusedUnlessAccepted()
    {
        QFETCH(bool, goOn);
        QSslServer server;
        server.setSslConfiguration(m_tls);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        int served = 0;
        connect(&server, &QTcpServer::pendingConnectionAvailable, this, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [&served, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++served;
                    const QByteArray body = "<!doctype html><title>Secure</title>";
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        QStringList questions;
        EngineWindow f;
        f.asker.answer = [&](const QString &question) {
            questions << question;
            return goOn;
        };
        QVERIFY(f.form->Form_Load(QStringLiteral("https://127.0.0.1:%1/").arg(server.serverPort())));
        QTRY_COMPARE_WITH_TIMEOUT(questions.size(), 1, 20000);
        QVERIFY(questions.first().contains(QStringLiteral("安全证书")));
        if (goOn) {
            QTRY_COMPARE_WITH_TIMEOUT(f.form->windowTitle(), QStringLiteral("Secure"), 20000);
        } else {
            // The refused load ends as a failed one; nothing reached the server.
            QTRY_VERIFY2_WITH_TIMEOUT(
                f.status().startsWith(QStringLiteral("无法打开网页")), qPrintable(f.status()), 20000);
            QCOMPARE(served, 0);
            QVERIFY(f.form->windowTitle() != QStringLiteral("Secure"));
        }
    }
};

int main(int argc, char **argv)
{
    tst_Certificate test;
    return runEngineTest(test, argc, argv);
}

#include "tst_certificate.moc"
