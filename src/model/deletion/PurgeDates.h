#pragma once

#include "platform/core/Value.h"

#include <QDate>
#include <QList>
#include <QString>

namespace model {

// Which snapshots a purge takes by their SaveTime. The purge has two callers with two rules,
// kept as they are and written here side by side: the batch delete dialog compares with the
// day's 00:00:00 inclusively (upTo, between), the command line takes what was saved before the
// day began (before). Both delete through the same engine (HistoryMaintenance).
class PurgeDates
{
public:
    enum class Rule { All, Before, UpTo, Between };

    static PurgeDates all();
    // `histmaint maintain purge --before D`: SaveTime < D 00:00:00.
    static PurgeDates before(QDate day);
    // The dialog's kinds (删除一年前记录 …): SaveTime <= D 00:00:00.
    static PurgeDates upTo(QDate day);
    // The dialog's range: from 00:00:00 <= SaveTime <= to 00:00:00.
    static PurgeDates between(QDate from, QDate to);

    Rule rule() const { return m_rule; }
    QDate from() const { return m_from; }
    QDate to() const { return m_to; }

    // The condition on the SaveTime column `column` ("1 = 1" for all), its values bound in
    // the order of values().
    QString condition(const QString &column) const;
    QList<rt::Value> values() const;

    // The household procedure (proc_DelRprScope) for the same snapshots: its @pi_flag (1 all, 2
    // SaveTime <= start, 3 start <= SaveTime <= end) and its two dates (null where the flag
    // needs none). Its own predicate on `column`, with its values, counts what it will delete.
    int procedureFlag() const;
    rt::Value procedureStart() const;
    rt::Value procedureEnd() const;
    QString procedureCondition(const QString &column) const;
    QList<rt::Value> procedureValues() const;

    // In words, as the count line and the journal say it: "全部记录", "2024-01-15 以前保存的记录",
    // "2024-01-15 至 2024-06-30".
    QString words() const;

private:
    PurgeDates(Rule rule, QDate from, QDate to) : m_rule(rule), m_from(from), m_to(to) {}

    Rule m_rule;
    QDate m_from, m_to;
};

} // namespace model
