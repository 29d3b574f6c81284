#include "platform/core/PgConninfo.h"

#include <gtest/gtest.h>

using rt::PgConninfo;

namespace {

QByteArray valueOf(const PgConninfo::Params &params, const char *key)
{
    for (const auto &[k, v] : params) {
        if (k == key)
            return v;
    }
    return QByteArray("<unset>");
}

} // namespace

// An office server is reached with a bounded connect, keepalives and the program's name, unless
// the operator's string says otherwise.
// SRV-08
TEST(PgConninfo, DefaultsCompleteWhatTheStringLeavesOpen)
{
    PgConninfo::Params params;
    QString error;
    ASSERT_TRUE(PgConninfo::withDefaults(QStringLiteral("host=/run/postgresql dbname=register"), params, error));
    EXPECT_EQ(valueOf(params, "connect_timeout"), "10");
    EXPECT_EQ(valueOf(params, "keepalives"), "1");
    EXPECT_EQ(valueOf(params, "fallback_application_name"), "histmaint");
    EXPECT_EQ(valueOf(params, "dbname"), "register");
    ASSERT_TRUE(PgConninfo::withDefaults(QStringLiteral("postgresql://clerk@db.example/register?connect_timeout=3&application_name=x"),
                                         params, error));
    EXPECT_EQ(valueOf(params, "connect_timeout"), "3") << "the operator's own setting stands";
    EXPECT_EQ(valueOf(params, "application_name"), "x");
    EXPECT_EQ(valueOf(params, "user"), "clerk");
    ASSERT_TRUE(PgConninfo::withDefaults(QStringLiteral("service=register"), params, error));
    EXPECT_EQ(valueOf(params, "connect_timeout"), "<unset>") << "a service file's settings stand";
    EXPECT_FALSE(PgConninfo::withDefaults(QStringLiteral("host='unclosed"), params, error));
    EXPECT_FALSE(error.isEmpty());
}

// SRV-05
TEST(PgConninfo, APasswordIsNeverShown)
{
    for (const char *conninfo : {"host=db dbname=register password=s3cret user=clerk", "password='s3 cret' host=db",
                                 "postgresql://clerk:s3cret@db/register", "host=db sslpassword=s3cret password=s3x"}) {
        const QString shown = PgConninfo::masked(QString::fromLatin1(conninfo));
        EXPECT_FALSE(shown.contains(QStringLiteral("s3"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("password=****"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("host=db"))) << shown.toStdString();
    }
    EXPECT_FALSE(PgConninfo::masked(QStringLiteral("host='unclosed password=s3cret")).contains(QStringLiteral("s3cret")));
}
