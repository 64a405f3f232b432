#include "loopbackserver.h"

#include <QTcpSocket>

LoopbackServer::LoopbackServer(QObject *parent)
    : QTcpServer(parent)
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
                int end;
                while ((end = pending.indexOf("\r\n\r\n")) >= 0) {
                    const QByteArray head = pending.left(end);
                    pending.remove(0, end + 4);
                    answer(socket, head);
                }
                socket->setProperty("pending", pending);
            });
        }
    });
}

void LoopbackServer::serve(const QByteArray &path, const QByteArray &html)
{
    Response r;
    r.body = html;
    serve(path, r);
}

void LoopbackServer::serve(const QByteArray &path, const Response &response)
{
    m_responses.insert(path, response);
}

QString LoopbackServer::url(const QByteArray &target) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QString::fromLatin1(target));
}

void LoopbackServer::answer(QTcpSocket *socket, const QByteArray &head)
{
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray target = requestLine.value(1);
    // The engine asks for icons by itself; the log keeps what pages and the program asked for.
    if (target != "/favicon.ico") {
        requests.append(target);
        requestHeaders.append(head);
    }
    const QByteArray path = target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    Response r;
    if (m_responses.contains(path)) {
        r = m_responses.value(path);
    } else {
        r.status = 404;
        r.body = "<html><head><title>404</title></head><body>not here</body></html>";
    }
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(r.status) + (r.status == 200 ? " OK" : " Other")
        + "\r\nContent-Type: " + r.contentType + "\r\nContent-Length: " + QByteArray::number(r.body.size())
        + "\r\nCache-Control: no-store\r\n" + r.extraHeaders + "\r\n" + r.body;
    socket->write(reply);
}
