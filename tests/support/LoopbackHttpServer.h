#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for tests: each path answers with a fixed status
// and body, or not at all (the connection stays open and silent).

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace vorrel::test {

class LoopbackHttpServer : public QObject {
public:
    struct Route {
        int status = 200;
        QByteArray body;
        bool silent = false;
        bool omitLength = false;  // the body then ends when the connection closes
    };

    LoopbackHttpServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
        server_.listen(QHostAddress::LocalHost);
    }

    bool isListening() const { return server_.isListening(); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    void route(const QByteArray& path, Route answer) { routes_[path] = std::move(answer); }
    int requestCount() const { return requests_; }

private:
    void serve(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n")) return;
        ++requests_;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffers_.remove(socket);
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray("/");
        const Route answer = routes_.value(path, Route{404, "not here", false, false});
        if (answer.silent) return;
        QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) +
                              (answer.status == 200 ? " OK" : " Not Found") + "\r\n";
        response += "Content-Type: application/rss+xml\r\n";
        if (!answer.omitLength)
            response += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        response += "Connection: close\r\n\r\n";
        response += answer.body;
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QHash<QByteArray, Route> routes_;
    int requests_ = 0;
};

}  // namespace vorrel::test
