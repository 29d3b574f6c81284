#include "host/ConnectionProfile.h"
#include "host/ui/ConnectingWindow.h"
#include "host/ui/PasswordDialog.h"
#include "host/ui/ServerLogin.h"
#include "platform/core/PgConnection.h"
#include "platform/core/Transaction.h"

#include "LayoutCheck.h"
#include "PasswordServer.h"
#include "TestRegister.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using host::ServerLogin;

namespace {

struct Ask
{
    QString server, user, note;
};

// The operator, as the password prompt meets them: each answer in turn (null = 取消).
struct ScriptedPasswords
{
    QList<std::optional<QByteArray>> answers;
    QList<Ask> asked;
    ServerLogin::AskPassword function()
    {
        return [this](const QString &server, const QString &user, const QString &note, QByteArray &password) {
            asked << Ask{server, user, note};
            if (answers.isEmpty() || !answers.first())
                return false;
            password = *answers.takeFirst();
            return true;
        };
    }
};

// The top-level widget of a class name that is showing, or null.
QWidget *showing(const char *objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == QLatin1String(objectName))
            return w;
    }
    return nullptr;
}

} // namespace

// SRV-14 (every test of this suite)
TEST(PgConnectionPassword, TellsThatTheServerWantsOneAndSendsItApartFromTheString)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::PgConnection c;
    rt::DbOpenOptions options;
    options.path = server.conninfo(QStringLiteral("clerk"));
    rt::DbError error;
    EXPECT_FALSE(c.open(options, error));
    EXPECT_EQ(error.code, rt::PgConnection::PasswordNeeded) << error.text.toStdString();
    options.password = "pa ss'word";
    EXPECT_FALSE(c.open(options, error));
    EXPECT_EQ(error.code, rt::PgConnection::PasswordFailed) << error.text.toStdString();
    EXPECT_EQ(server.passwords(), QList<QByteArray>{QByteArray("pa ss'word")});
    EXPECT_FALSE(error.text.contains(QStringLiteral("pa ss'word")));
}

// A second connection like the first (a count, a long read aside) needs the operator's password
// as much as the first did (a lost connection is opened again the same way).
TEST(PgConnectionPassword, ASecondConnectionLikeTheFirstCarriesIt)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::Transaction first, second(QStringLiteral("aside"));
    first.DBMS = QStringLiteral("PostgreSQL");
    first.Database = server.conninfo(QStringLiteral("clerk"));
    first.Password = "typed";
    second.copySettingsFrom(first);
    EXPECT_EQ(second.connect(), -1);
    EXPECT_EQ(second.SQLDBCode(), rt::PgConnection::PasswordFailed);
    EXPECT_EQ(server.passwords(), QList<QByteArray>{QByteArray("typed")});
}

// SRV-14 (every test of this suite)
TEST(ServerLoginPassword, AsksTheOperatorAgainWhenRefusedAndCancelEndsTheStart)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    ScriptedPasswords op;
    op.answers = {QByteArray("first"), std::nullopt};
    QString error;
    EXPECT_EQ(ServerLogin::connect(server.conninfo(QStringLiteral("clerk")), sqlca, photosqlca, error, true, op.function()), -1);
    ASSERT_EQ(op.asked.size(), 2);
    EXPECT_EQ(op.asked[0].server, QString::fromUtf8("本机")) << "a socket folder is this computer";
    EXPECT_EQ(op.asked[0].user, QStringLiteral("clerk"));
    EXPECT_TRUE(op.asked[0].note.isEmpty());
    EXPECT_EQ(op.asked[1].note, QString::fromUtf8("服务器没有接受这个密码，请重新输入。"));
    EXPECT_EQ(server.passwords(), QList<QByteArray>{QByteArray("first")});
    EXPECT_EQ(error, QString::fromUtf8("没有输入密码，已取消连接服务器 本机。程序没有打开人口信息库。"));
    EXPECT_TRUE(sqlca.Password.isEmpty());
    EXPECT_TRUE(photosqlca.Password.isEmpty());
    EXPECT_FALSE(sqlca.isConnected());
    EXPECT_FALSE(sqlca.Database.contains(QStringLiteral("first")));
}

TEST(ServerLoginPassword, GivesUpAfterThreeRefusedPasswordsWithTheServersReason)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    ScriptedPasswords op;
    op.answers = {QByteArray("a"), QByteArray("b"), QByteArray("c"), QByteArray("d")};
    QString error;
    EXPECT_EQ(ServerLogin::connect(server.conninfo(QStringLiteral("clerk")), sqlca, photosqlca, error, true, op.function()), -1);
    EXPECT_EQ(op.asked.size(), 3);
    EXPECT_EQ(server.passwords(), (QList<QByteArray>{"a", "b", "c"}));
    EXPECT_TRUE(error.contains(QStringLiteral("password authentication failed"))) << error.toStdString();
}

TEST(ServerLoginPassword, WithoutWindowsNobodyIsAsked)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    ScriptedPasswords op;
    QString error;
    EXPECT_EQ(ServerLogin::connect(server.conninfo(QStringLiteral("clerk")), sqlca, photosqlca, error, false, op.function()), -1);
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_TRUE(error.contains(QString::fromUtf8("无法连接"))) << error.toStdString();
}

// SRV-17
TEST(ServerLoginWindows, TheConnectingWindowShowsWhileTheServerIsAwaited)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path(), 600);
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    bool seenConnecting = false;
    QString where;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&]() {
        if (QWidget *w = showing("w_connecting")) {
            seenConnecting = true;
            if (auto *label = w->findChild<QLabel *>(QStringLiteral("st_where")))
                where = label->text();
        }
    });
    probe.start(50);
    ScriptedPasswords op;
    bool connectingDuringPrompt = true;
    auto ask = [&](const QString &s, const QString &u, const QString &n, QByteArray &p) {
        connectingDuringPrompt = showing("w_connecting") != nullptr;
        return op.function()(s, u, n, p);
    };
    QString error;
    EXPECT_EQ(ServerLogin::connect(server.conninfo(QStringLiteral("clerk")), sqlca, photosqlca, error, true, ask), -1);
    EXPECT_TRUE(seenConnecting) << "the window showed, and the program answered events meanwhile";
    EXPECT_EQ(where, QString::fromUtf8("服务器：本机    数据库：register"));
    EXPECT_FALSE(connectingDuringPrompt) << "the connecting window is gone while the password is asked for";
    EXPECT_EQ(showing("w_connecting"), nullptr);
}

// SRV-14
TEST(ServerLoginWindows, ThePasswordIsTypedIntoAMaskedFieldAndEnterSendsIt)
{
    QTemporaryDir dir;
    PasswordServer server(dir.path());
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    QStringList prompts;
    int dialogs = 0;
    QTimer operatorAtKeyboard;
    QObject::connect(&operatorAtKeyboard, &QTimer::timeout, [&]() {
        auto *dialog = qobject_cast<host::PasswordDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("typed").toBool())
            return;
        dialog->setProperty("typed", true);
        ++dialogs;
        prompts << dialog->findChild<QLabel *>(QStringLiteral("st_prompt"))->text();
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("连接服务器"));
        EXPECT_EQ(dialog->field()->echoMode(), QLineEdit::Password);
        QWidget *focus = dialog->focusWidget();
        if (dialogs == 1) {
            // Typed where the focus is, sent by Enter.
            QTest::keyClicks(focus, QStringLiteral("s3cret"));
            QTest::keyClick(focus, Qt::Key_Return);
        } else {
            QTest::keyClick(focus, Qt::Key_Escape);
        }
    });
    operatorAtKeyboard.start(30);
    QString error;
    EXPECT_EQ(ServerLogin::connect(server.conninfo(QStringLiteral("clerk")), sqlca, photosqlca, error, true), -1);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(prompts.value(0), QString::fromUtf8("服务器 本机 上的用户 clerk 需要密码："));
    EXPECT_EQ(server.passwords(), QList<QByteArray>{QByteArray("s3cret")});
    EXPECT_TRUE(error.startsWith(QString::fromUtf8("没有输入密码"))) << error.toStdString();
}

// SRV-14 (every test of this suite)
TEST(PasswordDialogKeys, TabReachesEveryControlAndTheFieldIsEmptiedWhenTaken)
{
    host::PasswordDialog dialog(QStringLiteral("db.example"), QStringLiteral("clerk"),
                                QString::fromUtf8("服务器没有接受这个密码，请重新输入。"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.focusWidget(), dialog.field());
    QTest::keyClicks(dialog.field(), QStringLiteral("pw"));
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.okButton());
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.cancelButton());
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(dialog.focusWidget(), dialog.field());
    EXPECT_EQ(dialog.takePassword(), QByteArray("pw"));
    EXPECT_TRUE(dialog.field()->text().isEmpty());
}

// SRV-17
TEST(PasswordDialogKeys, NothingIsCutOffInEitherWindow)
{
    host::PasswordDialog dialog(QStringLiteral("db.office.example.org"), QStringLiteral("clerk_with_a_long_name"),
                                QString::fromUtf8("服务器没有接受这个密码，请重新输入。"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(LayoutCheck::problems(&dialog), QStringList());
    host::ConnectingWindow connecting(QStringLiteral("db.office.example.org"), QString::fromUtf8("人口信息库"));
    connecting.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&connecting));
    EXPECT_EQ(LayoutCheck::problems(&connecting), QStringList());
    // Esc does not end the connecting window: the connection does.
    QTest::keyClick(&connecting, Qt::Key_Escape);
    EXPECT_TRUE(connecting.isVisible());
}

// On the test cluster (no password there): the profile's statement timeout reaches both sessions.
// SRV-20
TEST(ServerLoginRegister, TheProfilesStatementTimeoutReachesBothConnections)
{
    TEST_REGISTER_REQUIRED();
    if (!TestRegister::onServer())
        GTEST_SKIP() << "a statement timeout is the server's";
    QTemporaryDir dir;
    QString error;
    ASSERT_EQ(TestRegister::create(dir.path(), error), 0) << error.toStdString();
    rt::Transaction sqlca, photosqlca(QStringLiteral("photosqlca"));
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
    const QString conninfo = sqlca.Database;
    sqlca.disconnect();
    photosqlca.disconnect();

    QFile f(dir.filePath(QStringLiteral("office.conf")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("statement_timeout = 7\n");
    f.close();
    host::ConnectionProfile profile(dir.path(), dir.filePath(QStringLiteral("none")));
    ASSERT_TRUE(profile.load(QStringLiteral("office"), error)) << error.toStdString();
    rt::Transaction a, b(QStringLiteral("photosqlca"));
    for (rt::Transaction *t : {&a, &b})
        t->StatementTimeoutMs = profile.statementTimeoutMs();
    ASSERT_EQ(ServerLogin::connect(conninfo, a, b, error, true), 0) << error.toStdString();
    EXPECT_EQ(showing("w_connecting"), nullptr);
    for (rt::Transaction *t : {&a, &b}) {
        QList<rt::Value> shown{rt::Value::null(rt::ValueType::String)};
        ASSERT_EQ(t->selectInto(QStringLiteral("SHOW statement_timeout"), {}, shown), 0) << t->SQLErrText().toStdString();
        EXPECT_EQ(shown[0].string(), QStringLiteral("7s")) << t->name().toStdString();
    }
}
