// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The preview's HTTP/1.1 server: a few small pages for one browser on this machine, on the
// loopback address only. Any local process can connect to it, so every input is bounded
// before it is kept, all in one place (Limits): a request head of a few KiB, no request
// body at all, a few dozen connections, and a few seconds to send a head. Heads are read
// to the letter of HTTP/1.1; anything else is refused with 400.
//
// A connection counts as the browser's once it has been given a page: any other is closed
// after its answer, and at the cap a new connection displaces the oldest that is not the
// browser's, so that no number of local clients without the address can lock it out.
//
// Written over QTcpServer rather than with Qt HTTP Server: that reads a whole request,
// body included, into its own buffer before a handler sees it, and offers no limit on
// either, in Qt 6.4 as in 6.8.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QTcpServer;

namespace rulecraft::windows {

class PreviewServer : public QObject {
    Q_OBJECT

public:
    struct Limits {
        // The request line and headers together, as nginx's large header buffer.
        qsizetype headBytes = 8 * 1024;
        // A browser opens six to a host; more than this is not a browser.
        int connections = 32;
        // From a connection's first byte of a head to its end; also how long what a
        // refused client still sends is read and dropped before its connection closes.
        std::chrono::milliseconds headTime{5000};
        // Between requests on a connection that is kept open.
        std::chrono::milliseconds idleTime{20000};
    };

    struct Page {
        QByteArray type;
        QByteArray body;
    };
    // The page at a path (the query already dropped), or nothing for 404. Asked only for
    // a GET or HEAD that names this server as its host.
    using Pages = std::function<std::optional<Page>(const QByteArray& path)>;

    PreviewServer(QObject* parent, Pages pages, Limits limits);
    explicit PreviewServer(QObject* parent, Pages pages)
        : PreviewServer(parent, std::move(pages), {})
    {
    }
    ~PreviewServer() override;

    // On 127.0.0.1, at the port given or else one the system picks; false when it cannot.
    bool listen(quint16 port = 0);
    quint16 port() const;
    // The address and port, as a browser names them in its Host header.
    QByteArray authority() const;
    int connectionCount() const { return static_cast<int>(connections_.size()); }

private:
    class Connection;

    void take(qintptr descriptor);
    void connectionEnded(Connection* connection);

    Pages pages_;
    const Limits limits_;
    QTcpServer* listener_;
    QTimer acceptAgain_;
    // Oldest first.
    QList<Connection*> connections_;
};

} // namespace rulecraft::windows
