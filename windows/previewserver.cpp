// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/previewserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace rulecraft::windows {

namespace {

// A large page goes out a piece at a time, as the client takes it, so that a connection
// never holds more than a piece of it besides the page itself.
constexpr qsizetype pieceBytes = 64 * 1024;

// Qt and the event loop may run out of file descriptors before the connection cap does
// (other programs' limits, a low soft limit): then accepting pauses for a moment.
constexpr std::chrono::milliseconds acceptPause{1000};

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    }
    return "Error";
}

} // namespace

// One client's connection: reads one request head at a time, answers it, and reads the
// next only once the answer is out.
class PreviewServer::Connection : public QObject {
public:
    Connection(PreviewServer& server, QTcpSocket* socket)
        : QObject(&server), server_(server), socket_(socket)
    {
        socket_->setParent(this);
        // The socket itself keeps no more than a head's worth of what the client sends.
        socket_->setReadBufferSize(server_.limits_.headBytes);
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, &Connection::end);
        connect(socket_, &QTcpSocket::readyRead, this, &Connection::readHead);
        connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::writeMore);
        connect(socket_, &QTcpSocket::disconnected, this, &Connection::end);
        connect(socket_, &QTcpSocket::errorOccurred, this, &Connection::end);
        deadline_.start(server_.limits_.headTime);
        readHead();
    }

private:
    void readHead()
    {
        if (state_ != State::Reading)
            return;
        const bool wasIdle = head_.isEmpty();
        head_ += socket_->read(server_.limits_.headBytes - head_.size());
        if (head_.isEmpty())
            return;
        if (wasIdle)
            deadline_.start(server_.limits_.headTime);
        const qsizetype end = head_.indexOf("\r\n\r\n");
        if (end < 0) {
            if (head_.size() >= server_.limits_.headBytes)
                send(431, "Request head too large\n", true, true);
            return;
        }
        const QByteArray head = head_.left(end);
        head_.remove(0, end + 4);
        answer(head);
    }

    void answer(const QByteArray& head)
    {
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> request = lines.first().trimmed().split(' ');
        if (request.size() != 3 || !request[2].startsWith("HTTP/1."))
            return send(400, "Bad request\n", true, true);
        bool declaresBody = false, closeAfter = request[2] == "HTTP/1.0";
        QList<QByteArray> hosts;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0 || line.front() == ' ' || line.front() == '\t')
                return send(400, "Bad request\n", true, true);
            const QByteArray name = line.left(colon).toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "host")
                hosts << value;
            else if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
                declaresBody = true;
            else if (name == "connection" && value.toLower().contains("close"))
                closeAfter = true;
        }
        // Refused before a byte of it is read; the connection cannot be used after it.
        if (declaresBody)
            return send(413, "No request body is taken\n", true, true);
        // A page elsewhere may reach this port through a name that it makes point here;
        // its requests carry that name.
        if (hosts != QList<QByteArray>{server_.authority()})
            return send(403, "Forbidden\n", true, closeAfter);
        const QByteArray& method = request[0];
        const bool withBody = method == "GET";
        if (!withBody && method != "HEAD")
            return send(405, "GET or HEAD only\n", true, closeAfter);
        const QByteArray& target = request[1];
        const std::optional<Page> page = server_.pages_(target.split('?').first());
        if (!page)
            return send(404, "Not found\n", withBody, closeAfter);
        send(200, page->body, withBody, closeAfter, page->type);
    }

    void send(int status, const QByteArray& body, bool withBody, bool closeAfter,
              const QByteArray& type = "text/plain")
    {
        state_ = closeAfter ? State::Closing : State::Writing;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonFor(status) +
                         "\r\nContent-Type: " + type +
                         "\r\nContent-Length: " + QByteArray::number(body.size()) +
                         "\r\nCache-Control: no-store"
                         "\r\nX-Content-Type-Options: nosniff"
                         "\r\nReferrer-Policy: no-referrer\r\n";
        if (status == 405)
            out += "Allow: GET, HEAD\r\n";
        if (closeAfter)
            out += "Connection: close\r\n";
        socket_->write(out + "\r\n");
        body_ = withBody ? body : QByteArray();
        sent_ = 0;
        writeMore();
    }

    void writeMore()
    {
        if (state_ == State::Reading)
            return;
        deadline_.start(server_.limits_.idleTime);
        while (sent_ < body_.size() && socket_->bytesToWrite() < pieceBytes) {
            const qsizetype piece = std::min(pieceBytes, body_.size() - sent_);
            socket_->write(body_.constData() + sent_, piece);
            sent_ += piece;
        }
        if (sent_ < body_.size())
            return;
        if (state_ == State::Closing) {
            // Sends what is left, then closes; nothing more is read.
            state_ = State::Closed;
            socket_->disconnectFromHost();
        }
        if (state_ != State::Writing || socket_->bytesToWrite() > 0)
            return;
        state_ = State::Reading;
        body_.clear();
        readHead();
    }

    void end()
    {
        deadline_.stop();
        socket_->disconnect(this);
        socket_->abort();
        deleteLater();
    }

    PreviewServer& server_;
    QTcpSocket* socket_;
    QTimer deadline_;
    QByteArray head_;
    enum class State { Reading, Writing, Closing, Closed } state_ = State::Reading;
    QByteArray body_;
    qsizetype sent_ = 0;
};

PreviewServer::PreviewServer(QObject* parent, Pages pages, Limits limits)
    : QObject(parent), pages_(std::move(pages)), limits_(limits), listener_(new QTcpServer(this))
{
    connect(listener_, &QTcpServer::newConnection, this, &PreviewServer::acceptAll);
    acceptAgain_.setSingleShot(true);
    connect(&acceptAgain_, &QTimer::timeout, listener_, &QTcpServer::resumeAccepting);
    connect(listener_, &QTcpServer::acceptError, this, [this] {
        listener_->pauseAccepting();
        acceptAgain_.start(acceptPause);
    });
}

bool PreviewServer::listen()
{
    return listener_->listen(QHostAddress::LocalHost, 0);
}

QByteArray PreviewServer::authority() const
{
    return "127.0.0.1:" + QByteArray::number(port());
}

quint16 PreviewServer::port() const
{
    return listener_->serverPort();
}

void PreviewServer::acceptAll()
{
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        if (connections_ >= limits_.connections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++connections_;
        connect(new Connection(*this, socket), &QObject::destroyed, this,
                &PreviewServer::connectionEnded);
    }
}

void PreviewServer::connectionEnded()
{
    --connections_;
    // A descriptor is free again: accept now rather than at the end of the pause.
    if (acceptAgain_.isActive()) {
        acceptAgain_.stop();
        listener_->resumeAccepting();
    }
}

} // namespace rulecraft::windows
