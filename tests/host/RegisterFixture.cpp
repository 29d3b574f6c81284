#include "RegisterFixture.h"

#include "TestRegister.h"
#include "host/RegisterDatabases.h"
#include "platform/core/SqlQuote.h"

#include <QDir>
#include <QStringList>

void RegisterFixture::SetUp()
{
    TEST_REGISTER_REQUIRED();
    livePath = QDir(dir.path()).filePath(QStringLiteral("register.db"));
    historyPath = QDir(dir.path()).filePath(QStringLiteral("history.db"));
    QString error;
    ASSERT_EQ(TestRegister::create(dir.path(), error), 0) << error.toStdString();
    ASSERT_EQ(TestRegister::connect(dir.path(), sqlca, photosqlca, error), 0) << error.toStdString();
}

void RegisterFixture::put(rt::Transaction &t, const QString &table, const QList<std::pair<QString, rt::Value>> &columns)
{
    QStringList names, marks;
    QList<rt::Value> values;
    for (const auto &c : columns) {
        names << rt::sqlIdentifier(c.first);
        marks << QStringLiteral("?");
        values << c.second;
    }
    ASSERT_EQ(t.execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(rt::sqlIdentifier(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                        values),
              0)
        << t.SQLErrText().toStdString();
    ASSERT_EQ(t.commit(), 0);
}

void RegisterFixture::history(const QString &table, const QString &keyColumn, const QString &key, const QString &saveTime,
                              const QString &issave, const QList<std::pair<QString, rt::Value>> &more)
{
    QList<std::pair<QString, rt::Value>> columns{{keyColumn, key}, {QStringLiteral("SaveTime"), saveTime},
                                                  {QStringLiteral("issave"), issave}};
    columns << more;
    put(photosqlca, table, columns);
}

std::int64_t RegisterFixture::count(rt::Transaction &t, const QString &table, const QString &where,
                                    const QList<rt::Value> &params)
{
    QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
    const QString sql = QStringLiteral("SELECT count(*) FROM %1%2")
                            .arg(rt::sqlIdentifier(table), where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
    EXPECT_EQ(t.selectInto(sql, params, n), 0) << t.SQLErrText().toStdString();
    return n[0].longValue();
}
