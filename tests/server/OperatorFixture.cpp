#include "OperatorFixture.h"

#include "platform/core/Cursor.h"

void OperatorFixture::SetUp()
{
    RecoveryFixture::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    if (!TestRegister::onServer())
        GTEST_SKIP() << "roles, grants and the audit trail are the server's";
    ownerConninfo = host::g().sqlca.Database;
    owner.DBMS = QStringLiteral("PostgreSQL");
    owner.Database = ownerConninfo;
    ASSERT_EQ(owner.connect(), 0) << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.executeImmediate(QStringLiteral("TRUNCATE history.hm_audit")), 0) << owner.SQLErrText().toStdString();
    ASSERT_EQ(owner.commit(), 0);
    QString error;
    ASSERT_EQ(TestRegister::makeOperatorRole(owner, role(), error), 0) << error.toStdString();
    host::g().sqlca.disconnect();
    host::g().photosqlca.disconnect();
    ASSERT_EQ(TestRegister::connectAs(role(), host::g().sqlca, host::g().photosqlca, error), 0) << error.toStdString();
}

void OperatorFixture::TearDown()
{
    owner.disconnect();
    RecoveryFixture::TearDown();
}

QList<OperatorFixture::AuditRow> OperatorFixture::audit(const QString &where)
{
    QList<AuditRow> out;
    rt::Cursor c(owner, QStringLiteral("SELECT table_name, operation, db_user, coalesce(application_name, ''), row_count, txid "
                                       "FROM history.hm_audit WHERE %1 ORDER BY id")
                            .arg(where));
    EXPECT_EQ(c.open(), 0) << owner.SQLErrText().toStdString();
    QList<Value> row{Value::null(rt::ValueType::String), Value::null(rt::ValueType::String), Value::null(rt::ValueType::String),
                     Value::null(rt::ValueType::String), Value::null(rt::ValueType::Long),   Value::null(rt::ValueType::Long)};
    while (c.fetch(row) == 0)
        out << AuditRow{row[0].string(), row[1].string(), row[2].string(), row[3].string(), row[4].longValue(), row[5].longValue()};
    c.close();
    return out;
}

QList<OperatorFixture::Entry> OperatorFixture::journal()
{
    QList<Entry> out;
    rt::Cursor c(owner, QStringLiteral("SELECT operator, coalesce(db_user, ''), action, coalesce(counts, ''), coalesce(txid, 0) "
                                       "FROM history.hm_journal ORDER BY id"));
    EXPECT_EQ(c.open(), 0) << owner.SQLErrText().toStdString();
    QList<Value> row{Value::null(rt::ValueType::String), Value::null(rt::ValueType::String), Value::null(rt::ValueType::String),
                     Value::null(rt::ValueType::String), Value::null(rt::ValueType::Long)};
    while (c.fetch(row) == 0)
        out << Entry{row[0].string(), row[1].string(), row[2].string(), row[3].string(), row[4].longValue()};
    c.close();
    return out;
}

QString OperatorFixture::runElsewhere(const QString &user, const QString &application, const QString &sql)
{
    rt::Transaction t(QStringLiteral("elsewhere"));
    t.DBMS = QStringLiteral("PostgreSQL");
    t.Database = ownerConninfo + (user.isEmpty() ? QString() : QStringLiteral(" user=") + user)
                 + QStringLiteral(" application_name=") + application;
    if (t.connect() != 0)
        return t.SQLErrText();
    if (t.executeImmediate(sql) == -1 || t.commit() != 0) {
        const QString error = t.SQLErrText();
        t.rollback();
        return error.isEmpty() ? QStringLiteral("failed") : error;
    }
    return QString();
}
