#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace rt {
class Transaction;
}

namespace host {

// Connects the program's two transactions to the register's server as the operator starts it:
// while the connection is made (on another thread, rt::ui::AsideWait, the transactions used by
// nothing else meanwhile) a window says so, and when the server wants a password that neither
// the profile nor ~/.pgpass gives, the operator is asked for it (again when the server refused
// it, at most three times). The password typed is kept in the transactions' Password only, never in a
// connection string.
class ServerLogin
{
public:
    // Asks for a password: false when the operator cancelled. note says why it asks again.
    using AskPassword = std::function<bool(const QString &server, const QString &user, const QString &note,
                                           QByteArray &password)>;
    // The masked dialog (PasswordDialog).
    static bool askWithDialog(const QString &server, const QString &user, const QString &note, QByteArray &password);

    // 0, or -1 with errorText (Chinese) and both transactions disconnected and without password.
    // Without windows (a picture drawn offscreen) nothing is shown and nobody is asked.
    static int connect(const QString &conninfo, rt::Transaction &sqlca, rt::Transaction &photosqlca,
                       QString &errorText, bool withWindows, const AskPassword &ask = askWithDialog);

    // The server as the operator knows it: the connection's host, or 本机 over a Unix socket.
    static QString serverName(const QString &conninfo);

    // Overwrites and empties a password held by nothing else.
    static void wipe(QByteArray &password);
};

} // namespace host
