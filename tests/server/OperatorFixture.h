#pragma once

#include "RecoveryFixture.h"

// The recovery register on the server, worked on by the module as an operator login role made
// by scripts/operator-role.sql (host::g()'s transactions connect as that role), with its audit
// trail emptied once the seed is in: the seed is the register's making, and every audit row a
// test finds is its own. On the files every case skips (no roles, no trail).
class OperatorFixture : public RecoveryFixture
{
protected:
    static QString role() { return QStringLiteral("hm_audit_clerk"); }

    void SetUp() override;
    void TearDown() override;

    struct AuditRow
    {
        QString table, operation, dbUser, application;
        long long rows = 0, txid = 0;
    };
    // The trail's rows (as the owner reads them) matching `where`, in the order written.
    QList<AuditRow> audit(const QString &where = QStringLiteral("true"));
    // A journal entry as the server stamped it.
    struct Entry
    {
        QString operatorName, dbUser, action, counts;
        long long txid = 0; // 0 when null
    };
    QList<Entry> journal();
    // Runs `sql` on a session of its own as `user`, naming itself `application`, and commits:
    // a change made outside the program, as psql would make it. The session's error, or "".
    QString runElsewhere(const QString &user, const QString &application, const QString &sql);

    rt::Transaction owner{QStringLiteral("owner")};
    QString ownerConninfo;
};
