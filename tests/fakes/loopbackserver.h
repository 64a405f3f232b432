#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTcpServer>

// A small HTTP server on 127.0.0.1 whose request log proves what the browser loaded.
class LoopbackServer final : public QTcpServer
{
    Q_OBJECT

public:
    struct Response
    {
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray extraHeaders;
        int status = 200;
    };

    explicit LoopbackServer(QObject *parent = nullptr);

    // path is the request target without the query, e.g. "/a.html".
    void serve(const QByteArray &path, const QByteArray &html);
    void serve(const QByteArray &path, const Response &response);
    QString url(const QByteArray &target) const;

    // Request targets in arrival order, with their query strings.
    QList<QByteArray> requests;
    // Request headers of each request, in the same order.
    QList<QByteArray> requestHeaders;

    bool requested(const QByteArray &target) const { return requests.contains(target); }

private:
    void answer(QTcpSocket *socket, const QByteArray &head);

    QHash<QByteArray, Response> m_responses;
};
