#include "model/maintenance/StatsRead.h"

#include "model/Category.h"
#include "platform/core/Transaction.h"

namespace model {

StatsRead::StatsRead(const rt::Transaction &like) : m_read(std::make_unique<rt::Transaction>(QStringLiteral("statsread")))
{
    m_read->copySettingsFrom(like);
}

StatsRead::~StatsRead() = default;

bool StatsRead::connect()
{
    if (m_read->isConnected())
        return true;
    if (m_read->connect() != 0) {
        m_error = m_read->SQLErrText();
        return false;
    }
    return true;
}

void StatsRead::reset()
{
    m_stop.store(false);
    m_at.store(-1);
}

int StatsRead::stats(model::HistoryMaintenance::Stats &out, QString &error)
{
    // Both of the engine's connections are this one: stats reads history only.
    model::HistoryMaintenance engine(*m_read, *m_read);
    return engine.stats(out, error);
}

int StatsRead::preview(const QList<const model::Category *> &categories, const model::HistoryMaintenance::PurgePolicy &policy,
                       QList<long long> &rows, QString &error)
{
    // A purge without the household's persons reads history only, and a dry run deletes nothing.
    model::HistoryMaintenance engine(*m_read, *m_read);
    model::HistoryMaintenance::RunOptions options;
    options.dryRun = true;
    rows.clear();
    for (int i = 0; i < categories.size(); ++i) {
        m_at.store(i);
        if (m_stop.load())
            return -1;
        const model::Category *category = categories[i];
        model::HistoryMaintenance::RunResult result;
        if (engine.purge(*category, policy, options, result) != 0) {
            error = result.error;
            return -1;
        }
        long long n = 0;
        for (const auto &t : result.deleted) {
            if (t.table.compare(category->historyTable, Qt::CaseInsensitive) == 0)
                n += t.rows;
        }
        rows << n;
    }
    return m_stop.load() ? -1 : 0;
}

void StatsRead::stop()
{
    m_stop.store(true);
    m_read->cancel();
}

} // namespace model
