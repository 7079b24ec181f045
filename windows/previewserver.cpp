// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/previewserver.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>

#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rulecraft::windows {

namespace {

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

bool isTokenCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenCharacter);
}

// A field value's characters: visible ASCII, space, tab and any byte above ASCII.
bool isFieldValue(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '\t' || (byte >= 0x20 && byte != 0x7F);
    });
}

QByteArray trimmedValue(QByteArrayView value)
{
    while (!value.isEmpty() && (value.front() == ' ' || value.front() == '\t'))
        value = value.sliced(1);
    while (!value.isEmpty() && (value.back() == ' ' || value.back() == '\t'))
        value.chop(1);
    return value.toByteArray();
}

} // namespace

// One client's connection, on its descriptor directly: QTcpSocket drops whatever it still
// has to send once the client shuts its side down, and cannot shut down its own side alone,
// and both are needed to answer every client in full. Reads one request head at a time,
// answers it, and reads the next only once the answer is out.
class PreviewServer::Connection : public QObject {
public:
    Connection(PreviewServer& server, int descriptor)
        : QObject(&server), server_(server), descriptor_(descriptor),
          readable_(descriptor, QSocketNotifier::Read),
          writable_(descriptor, QSocketNotifier::Write)
    {
        fcntl(descriptor_, F_SETFL, fcntl(descriptor_, F_GETFL) | O_NONBLOCK);
        writable_.setEnabled(false);
        connect(&readable_, &QSocketNotifier::activated, this, &Connection::readMore);
        connect(&writable_, &QSocketNotifier::activated, this, &Connection::writeMore);
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, &Connection::end);
        deadline_.start(server_.limits_.headTime);
    }
    ~Connection() override { ::close(descriptor_); }

    bool browsers() const { return browsers_; }

    void end()
    {
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        deadline_.stop();
        if (!ended_) {
            ended_ = true;
            server_.connectionEnded(this);
            deleteLater();
        }
    }

private:
    enum class State { Reading, Writing, Draining };

    void readMore()
    {
        if (state_ == State::Draining) {
            char dropped[4096];
            const ssize_t n = ::recv(descriptor_, dropped, sizeof dropped, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                end();
            return;
        }
        const qsizetype room = server_.limits_.headBytes - head_.size();
        const qsizetype had = head_.size();
        head_.resize(had + room);
        const ssize_t n = ::recv(descriptor_, head_.data() + had, static_cast<size_t>(room), 0);
        head_.resize(had + std::max<qsizetype>(n, 0));
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return end();
        if (had == 0)
            deadline_.start(server_.limits_.headTime);
        answerHeads();
    }

    // Answers the heads read so far, one at a time.
    void answerHeads()
    {
        while (state_ == State::Reading) {
            // Empty lines before a request are ignored, as RFC 9112 asks.
            while (head_.startsWith("\r\n"))
                head_.remove(0, 2);
            qsizetype end = head_.indexOf("\n\r\n");
            qsizetype after = end + 3;
            const qsizetype bare = head_.indexOf("\n\n");
            if (bare >= 0 && (end < 0 || bare < end))
                end = bare, after = bare + 2;
            if (end < 0) {
                if (head_.size() >= server_.limits_.headBytes)
                    send(431, "Request head too large\n", true, true);
                return;
            }
            // A bare LF ends the blank line: refused below with every other bare LF or CR.
            const QByteArray head = head_.left(after == end + 2 ? end : end + 1);
            head_.remove(0, after);
            answer(head);
        }
    }

    void answer(const QByteArray& head)
    {
        const bool withBody = !head.startsWith("HEAD ");
        const auto bad = [&] { send(400, "Bad request\n", withBody, true); };
        if (!head.endsWith("\r\n"))
            return bad();
        const QList<QByteArray> lines = head.chopped(2).split('\n');
        for (const QByteArray& line : lines) {
            if (line.indexOf('\r') != line.size() - 1 && &line != &lines.back())
                return bad();
        }
        // Every line but the last kept its CR before the LF; the last lost it to chopped.
        if (lines.back().contains('\r'))
            return bad();
        const auto lineAt = [&](qsizetype i) {
            return i + 1 < lines.size() ? lines[i].chopped(1) : lines[i];
        };
        const QList<QByteArray> request = lineAt(0).split(' ');
        if (request.size() != 3 || !isToken(request[0]) || !request[1].startsWith('/') ||
            !std::all_of(request[1].begin(), request[1].end(),
                         [](char c) { return c > 0x20 && c < 0x7F; }) ||
            (request[2] != "HTTP/1.1" && request[2] != "HTTP/1.0"))
            return bad();
        const bool http10 = request[2] == "HTTP/1.0";
        bool declaresBody = false, closeAfter = http10;
        QList<QByteArray> hosts;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lineAt(i);
            const qsizetype colon = line.indexOf(':');
            // No space before the colon, and no line folded onto the one before it.
            if (colon < 0 || !isToken(QByteArrayView(line).first(colon)))
                return bad();
            const QByteArray name = line.left(colon).toLower();
            const QByteArray value = trimmedValue(QByteArrayView(line).sliced(colon + 1));
            if (!isFieldValue(value))
                return bad();
            if (name == "host") {
                hosts << value;
            } else if (name == "content-length") {
                if (value.isEmpty() || !std::all_of(value.begin(), value.end(), ::isdigit))
                    return bad();
                declaresBody = declaresBody || value.count('0') != value.size();
            } else if (name == "transfer-encoding") {
                declaresBody = true;
            } else if (name == "connection") {
                for (const QByteArray& option : value.split(','))
                    closeAfter = closeAfter || trimmedValue(option).toLower() == "close";
            }
        }
        // Refused before a byte of it is read; the connection cannot be used after it.
        if (declaresBody)
            return send(413, "No request body is taken\n", withBody, true);
        if (!http10 && hosts.size() != 1)
            return bad();
        // A page elsewhere may reach this port through a name that it makes point here;
        // its requests carry that name.
        if (hosts != QList<QByteArray>{server_.authority()})
            return send(403, "Forbidden\n", withBody, closeAfter || !browsers_);
        const QByteArray& method = request[0];
        if (method != "GET" && method != "HEAD")
            return send(405, "GET or HEAD only\n", withBody, closeAfter || !browsers_);
        const std::optional<Page> page = server_.pages_(request[1].split('?').first());
        if (!page)
            return send(404, "Not found\n", withBody, closeAfter || !browsers_);
        browsers_ = true;
        send(200, page->body, withBody, closeAfter, page->type);
    }

    void send(int status, const QByteArray& body, bool withBody, bool closeAfter,
              const QByteArray& type = "text/plain")
    {
        state_ = State::Writing;
        closeAfter_ = closeAfter;
        out_ = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonFor(status) +
               "\r\nContent-Type: " + type +
               "\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nCache-Control: no-store"
               "\r\nX-Content-Type-Options: nosniff"
               "\r\nReferrer-Policy: no-referrer\r\n";
        if (status == 405)
            out_ += "Allow: GET, HEAD\r\n";
        if (closeAfter)
            out_ += "Connection: close\r\n";
        out_ += "\r\n";
        body_ = withBody ? body : QByteArray();
        sent_ = 0;
        // Nothing more is read until the answer is out: a client that shuts its side down
        // meanwhile still gets all of it.
        readable_.setEnabled(false);
        writeMore();
    }

    void writeMore()
    {
        deadline_.start(server_.limits_.idleTime);
        const qsizetype total = out_.size() + body_.size();
        while (sent_ < total) {
            const bool inHead = sent_ < out_.size();
            const char* from =
                inHead ? out_.constData() + sent_ : body_.constData() + (sent_ - out_.size());
            const qsizetype left = inHead ? out_.size() - sent_ : total - sent_;
            const ssize_t n = ::send(descriptor_, from, static_cast<size_t>(left), MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                writable_.setEnabled(true);
                return;
            }
            if (n < 0)
                return end();
            sent_ += n;
        }
        writable_.setEnabled(false);
        out_.clear();
        body_.clear();
        if (closeAfter_) {
            // Closing with unread bytes would reset the connection and could cut the
            // answer off: the write side is shut, and what still comes is read and dropped
            // until the client closes, for a head's time at most.
            ::shutdown(descriptor_, SHUT_WR);
            state_ = State::Draining;
            deadline_.start(server_.limits_.headTime);
        } else {
            state_ = State::Reading;
        }
        readable_.setEnabled(true);
        if (state_ == State::Reading && !head_.isEmpty())
            answerHeads();
    }

    PreviewServer& server_;
    const int descriptor_;
    QSocketNotifier readable_;
    QSocketNotifier writable_;
    QTimer deadline_;
    State state_ = State::Reading;
    bool browsers_ = false;
    bool closeAfter_ = false;
    bool ended_ = false;
    QByteArray head_;
    QByteArray out_;
    QByteArray body_;
    qsizetype sent_ = 0;
};

namespace {

// Hands each accepted descriptor on as it is, before Qt wraps it in a socket.
class Listener : public QTcpServer {
public:
    Listener(QObject* parent, std::function<void(qintptr)> take)
        : QTcpServer(parent), take_(std::move(take))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { take_(descriptor); }

private:
    std::function<void(qintptr)> take_;
};

} // namespace

PreviewServer::PreviewServer(QObject* parent, Pages pages, Limits limits)
    : QObject(parent), pages_(std::move(pages)), limits_(limits),
      listener_(new Listener(this, [this](qintptr descriptor) { take(descriptor); }))
{
    acceptAgain_.setSingleShot(true);
    connect(&acceptAgain_, &QTimer::timeout, listener_, &QTcpServer::resumeAccepting);
    connect(listener_, &QTcpServer::acceptError, this, [this] {
        listener_->pauseAccepting();
        acceptAgain_.start(acceptPause);
    });
}

PreviewServer::~PreviewServer()
{
    for (Connection* connection : std::exchange(connections_, {}))
        delete connection;
}

bool PreviewServer::listen(quint16 port)
{
    return listener_->listen(QHostAddress::LocalHost, port);
}

QByteArray PreviewServer::authority() const
{
    return "127.0.0.1:" + QByteArray::number(port());
}

quint16 PreviewServer::port() const
{
    return listener_->serverPort();
}

void PreviewServer::take(qintptr descriptor)
{
    const int fd = static_cast<int>(descriptor);
    if (connections_.size() >= limits_.connections) {
        const auto displaced = std::find_if(connections_.begin(), connections_.end(),
                                            [](Connection* c) { return !c->browsers(); });
        if (displaced == connections_.end()) {
            ::close(fd);
            return;
        }
        (*displaced)->end();
    }
    connections_ << new Connection(*this, fd);
}

void PreviewServer::connectionEnded(Connection* connection)
{
    connections_.removeOne(connection);
    // A descriptor is free again: accept now rather than at the end of the pause.
    if (acceptAgain_.isActive()) {
        acceptAgain_.stop();
        listener_->resumeAccepting();
    }
}

} // namespace rulecraft::windows
