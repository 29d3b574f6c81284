#include "host/ui/ServerLogin.h"

#include "host/RegisterDatabases.h"
#include "host/ui/ConnectingWindow.h"
#include "host/ui/PasswordDialog.h"
#include "platform/core/PgConninfo.h"
#include "platform/core/Transaction.h"
#include "platform/ui/AsideWait.h"

namespace host {

namespace {

constexpr int MaxAsks = 3;

// connectServer on another thread, with the connecting window up and repainting until it ends.
// The window is the wait's face: no progress dialog, no wait cursor, and nothing to stop (the
// connection ends by itself within its connect timeout).
int connectWithWindow(const QString &conninfo, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &error,
                      bool &passwordWanted)
{
    QString database = rt::PgConninfo::setting(conninfo, "dbname");
    if (database.isEmpty())
        database = rt::PgConninfo::setting(conninfo, "user");
    ConnectingWindow window(ServerLogin::serverName(conninfo), database);
    window.show();
    int rc = -1;
    // Until the work ends, only it uses the transactions; error and passwordWanted are read
    // after it ended.
    rt::ui::AsideWait wait({.waitCursor = false});
    wait.run([&]() { rc = RegisterDatabases::connectServer(conninfo, sqlca, photosqlca, error, &passwordWanted); });
    return rc;
}

} // namespace

QString ServerLogin::serverName(const QString &conninfo)
{
    const QString host = rt::PgConninfo::setting(conninfo, "host");
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) ? QString::fromUtf8("本机") : host;
}

void ServerLogin::wipe(QByteArray &password)
{
    password.fill('\0');
    password.clear();
}

bool ServerLogin::askWithDialog(const QString &server, const QString &user, const QString &note, QByteArray &password)
{
    PasswordDialog dialog(server, user, note);
    const bool given = dialog.exec() == QDialog::Accepted;
    password = dialog.takePassword();
    if (!given)
        wipe(password);
    return given;
}

int ServerLogin::connect(const QString &conninfo, rt::Transaction &sqlca, rt::Transaction &photosqlca, QString &errorText,
                         bool withWindows, const AskPassword &ask)
{
    const QString server = serverName(conninfo);
    const QString user = rt::PgConninfo::setting(conninfo, "user");
    QString note;
    for (int asked = 0;; ++asked) {
        bool passwordWanted = false;
        QString error;
        const int rc = withWindows ? connectWithWindow(conninfo, sqlca, photosqlca, error, passwordWanted)
                                   : RegisterDatabases::connectServer(conninfo, sqlca, photosqlca, error, &passwordWanted);
        if (rc == 0)
            return 0;
        const bool hadPassword = !sqlca.Password.isEmpty();
        wipe(sqlca.Password);
        wipe(photosqlca.Password);
        if (!passwordWanted || !withWindows || !ask || asked == MaxAsks) {
            errorText = error;
            return -1;
        }
        if (asked > 0 || hadPassword)
            note = QString::fromUtf8("服务器没有接受这个密码，请重新输入。");
        QByteArray password;
        if (!ask(server, user, note, password)) {
            wipe(password);
            errorText = QString::fromUtf8("没有输入密码，已取消连接服务器 %1。程序没有打开人口信息库。").arg(server);
            return -1;
        }
        // Each transaction its own copy, so that each can be overwritten where it lies.
        sqlca.Password = QByteArray(password.constData(), password.size());
        photosqlca.Password = QByteArray(password.constData(), password.size());
        wipe(password);
    }
}

} // namespace host
