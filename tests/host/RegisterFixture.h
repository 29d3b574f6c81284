#pragma once

#include "platform/core/Transaction.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// An empty register (two files, or the server's schemas under HM_BACKEND=pg), connected as the
// application connects it, with helpers to put
// hand-made rows in and count what is left.
class RegisterFixture : public ::testing::Test
{
protected:
    void SetUp() override;

    // Inserts one row: the named columns only; SaveTime given for history tables.
    void put(rt::Transaction &t, const QString &table, const QList<std::pair<QString, rt::Value>> &columns);
    void history(const QString &table, const QString &keyColumn, const QString &key, const QString &saveTime,
                 const QString &issave = QStringLiteral("1"), const QList<std::pair<QString, rt::Value>> &more = {});
    std::int64_t count(rt::Transaction &t, const QString &table, const QString &where = QString(),
                       const QList<rt::Value> &params = {});

    QTemporaryDir dir;
    QString livePath;
    QString historyPath;
    rt::Transaction sqlca{QStringLiteral("sqlca")};
    rt::Transaction photosqlca{QStringLiteral("photosqlca")};
};
