#pragma once

#include <QDate>
#include <QString>

namespace rt {
class Transaction;
}

namespace host {

// How safe the way to the register's server is, told to the operator: a connection that leaves
// this computer unencrypted, or encrypted without checking whose certificate answers, can be
// read (passwords and people's data) or taken over by someone on the network.
class LinkSecurity
{
public:
    enum class Level {
        Local,       // a Unix socket or this computer's loopback address: nothing crosses a network
        Verified,    // TLS, and the server's certificate checked (sslmode verify-ca or verify-full)
        Unverified,  // TLS, but any certificate accepted
        Unencrypted, // TCP to another computer in the clear
    };

    // What is known of one connection.
    struct Facts
    {
        QString serverAddress; // the server's address as the server sees it; empty over a Unix socket
        bool tls = false;      // the session is encrypted
        QString sslmode;       // the client's sslmode (libpq's default "prefer" when none is set)
        // The host the client named (host or hostaddr; PGHOST): empty, a socket folder, localhost
        // or a loopback address is this machine. A loopback server address behind a host named
        // elsewhere is a tunnel or proxy on that host, and the way to it crosses the network.
        QString clientHost;
    };

    static Level classify(const Facts &facts);
    // Asks the connected server (its address for this session and whether the session is
    // encrypted) and takes sslmode from the connection string or libpq's default. False with
    // errorText when the server cannot be asked.
    static bool examine(rt::Transaction &t, const QString &conninfo, Facts &facts, QString &errorText);

    // The status line's words for a level; empty when nothing needs saying.
    static QString statusText(Level level);
    // The warning box's text for a level: what it means and what to do; empty when none.
    static QString warningText(Level level);

    // The warning is given once a day: true (and today noted in the file) when the file does
    // not already name today. A file that cannot be written means a warning every time rather
    // than never.
    static bool firstTimeToday(const QString &stateFile, const QDate &today);
    // `$XDG_STATE_HOME/histmaint/link-warning` (else ~/.local/state/…): the user's own.
    static QString defaultStateFile();
};

} // namespace host
