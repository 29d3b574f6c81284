#include "app/MaintainReport.h"

#include "model/Category.h"
#include "platform/core/Functions.h"

#include <QJsonArray>
#include <QLocale>

namespace app {

namespace {

using HM = model::HistoryMaintenance;

QString timeText(const std::optional<QDateTime> &t)
{
    return t ? t->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString::fromUtf8("—");
}

QJsonValue timeJson(const std::optional<QDateTime> &t)
{
    return t ? QJsonValue(t->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))) : QJsonValue();
}

QString categoryName(const model::Category *c)
{
    return c ? c->tabText : QString();
}

QString tableName(const model::Category *c)
{
    return c ? c->historyTable : QString();
}

} // namespace

long long MaintainReport::total(const HM::RunResult &result)
{
    long long n = 0;
    for (const HM::TableCount &t : result.deleted)
        n += t.rows;
    return n;
}

int MaintainReport::displayWidth(const QString &text)
{
    int w = 0;
    for (const uint c : text.toUcs4()) {
        // East Asian wide and full-width forms take two columns of a terminal.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
                          || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
                          || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        w += wide ? 2 : 1;
    }
    return w;
}

QString MaintainReport::pad(const QString &text, int width, bool right)
{
    const QString fill(qMax(0, width - displayWidth(text)), QLatin1Char(' '));
    return right ? fill + text : text + fill;
}

QString MaintainReport::table(const QStringList &captions, const QList<QStringList> &rows, const QList<bool> &right)
{
    QList<int> widths;
    for (const QString &c : captions)
        widths << displayWidth(c);
    for (const QStringList &r : rows)
        for (int i = 0; i < r.size() && i < widths.size(); ++i)
            widths[i] = qMax(widths[i], displayWidth(r[i]));
    auto line = [&](const QStringList &cells) {
        QStringList out;
        for (int i = 0; i < cells.size() && i < widths.size(); ++i)
            out << pad(cells[i], widths[i], right.value(i));
        QString s = out.join(QStringLiteral("  "));
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s + QLatin1Char('\n');
    };
    QString s = line(captions);
    for (const QStringList &r : rows)
        s += line(r);
    return s;
}

QString MaintainReport::bytesText(long long bytes)
{
    if (bytes < 0)
        return QString::fromUtf8("未知");
    const QString grouped = QString::fromUtf8("%1 字节").arg(rt::fn::Grouped(bytes));
    if (bytes < 1024 * 1024)
        return grouped;
    return grouped + QStringLiteral(" (%1 MB)").arg(QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1));
}

QString MaintainReport::statsTable(const HM::Stats &stats)
{
    QList<QStringList> rows;
    long long rowsAll = 0, duplicatesAll = 0;
    for (const HM::CategoryStats &c : stats.categories) {
        rows << QStringList{categoryName(c.category), tableName(c.category), rt::fn::Grouped(c.rows),
                            rt::fn::Grouped(c.duplicates), timeText(c.oldest), timeText(c.newest)};
        rowsAll += c.rows;
        duplicatesAll += c.duplicates;
    }
    rows << QStringList{QString::fromUtf8("合计"), QString(), rt::fn::Grouped(rowsAll), rt::fn::Grouped(duplicatesAll)};
    QString s = table({QString::fromUtf8("类别"), QString::fromUtf8("历史表"), QString::fromUtf8("行数"),
                       QString::fromUtf8("重复快照"), QString::fromUtf8("最早保存时间"), QString::fromUtf8("最新保存时间")},
                      rows, {false, false, true, true, false, false});
    s += QString::fromUtf8("\n历史库大小：%1\n").arg(bytesText(stats.historyBytes));

    // Rows per year: one column a year, over every category that has history.
    QList<int> years;
    for (const HM::CategoryStats &c : stats.categories)
        for (auto it = c.rowsPerYear.cbegin(); it != c.rowsPerYear.cend(); ++it)
            if (!years.contains(it.key()))
                years << it.key();
    std::sort(years.begin(), years.end());
    if (!years.isEmpty()) {
        QStringList captions{QString::fromUtf8("按保存年份的行数")};
        QList<bool> right{false};
        for (int y : years) {
            captions << QString::number(y);
            right << true;
        }
        QList<QStringList> perYear;
        for (const HM::CategoryStats &c : stats.categories) {
            if (c.rows == 0)
                continue;
            QStringList r{categoryName(c.category)};
            for (int y : years)
                r << (c.rowsPerYear.contains(y) ? rt::fn::Grouped(c.rowsPerYear.value(y)) : QStringLiteral("0"));
            perYear << r;
        }
        s += QLatin1Char('\n') + table(captions, perYear, right);
    }
    return s;
}

QJsonObject MaintainReport::statsJson(const HM::Stats &stats)
{
    QJsonArray categories;
    for (const HM::CategoryStats &c : stats.categories) {
        QJsonObject perYear;
        for (auto it = c.rowsPerYear.cbegin(); it != c.rowsPerYear.cend(); ++it)
            perYear.insert(QString::number(it.key()), double(it.value()));
        categories.append(QJsonObject{{QStringLiteral("category"), categoryName(c.category)},
                                      {QStringLiteral("historyTable"), tableName(c.category)},
                                      {QStringLiteral("rows"), double(c.rows)},
                                      {QStringLiteral("duplicates"), double(c.duplicates)},
                                      {QStringLiteral("oldest"), timeJson(c.oldest)},
                                      {QStringLiteral("newest"), timeJson(c.newest)},
                                      {QStringLiteral("rowsPerYear"), perYear}});
    }
    return QJsonObject{{QStringLiteral("command"), QStringLiteral("stats")},
                       {QStringLiteral("historyBytes"), double(stats.historyBytes)},
                       {QStringLiteral("categories"), categories}};
}

QString MaintainReport::runTable(const Summary &summary)
{
    QString s;
    if (summary.dryRun)
        s += QString::fromUtf8("试运行：以下是实际运行将删除的行，没有删除任何行。\n");
    QList<QStringList> rows;
    long long all = 0;
    for (const Run &run : summary.runs) {
        QString what = run.action == QLatin1String("dedupe") ? QString::fromUtf8("去除重复快照")
                                                             : QString::fromUtf8("删除 %1 以前").arg(run.policy.before.toString(Qt::ISODate));
        if (run.action == QLatin1String("purge") && run.policy.keepLast > 0)
            what += QString::fromUtf8("，每条记录保留最新 %1 个").arg(run.policy.keepLast);
        if (run.action == QLatin1String("purge") && run.policy.withPersons)
            what += QString::fromUtf8("，连同户内人员");
        if (run.result.deleted.isEmpty())
            rows << QStringList{categoryName(run.category), what, tableName(run.category), QStringLiteral("0"),
                                QString::number(run.result.chunks)};
        for (int i = 0; i < run.result.deleted.size(); ++i) {
            const HM::TableCount &t = run.result.deleted[i];
            rows << QStringList{i == 0 ? categoryName(run.category) : QString(), i == 0 ? what : QString(), t.table,
                                rt::fn::Grouped(t.rows), i == 0 ? QString::number(run.result.chunks) : QString()};
        }
        all += total(run.result);
    }
    rows << QStringList{QString::fromUtf8("合计"), QString(), QString(), rt::fn::Grouped(all)};
    s += table({QString::fromUtf8("类别"), QString::fromUtf8("操作"), QString::fromUtf8("历史表"),
                summary.dryRun ? QString::fromUtf8("将删除行数") : QString::fromUtf8("已删除行数"), QString::fromUtf8("块数")},
               rows, {false, false, false, true, true});
    if (!summary.dryRun && !summary.compactText.isEmpty())
        s += QString::fromUtf8("\n空间回收：%1\n").arg(summary.compactText);
    if (summary.interrupted)
        s += QString::fromUtf8("\n运行被中断：已完成的块保留并已记入日志，再次运行即可完成其余部分。\n");
    if (!summary.runId.isEmpty() && !summary.dryRun)
        s += QString::fromUtf8("运行编号：%1（维护日志中每一块的说明都带有它）\n").arg(summary.runId);
    return s;
}

QJsonObject MaintainReport::runJson(const Summary &summary)
{
    QJsonArray runs;
    long long all = 0;
    for (const Run &run : summary.runs) {
        QJsonArray tables;
        for (const HM::TableCount &t : run.result.deleted)
            tables.append(QJsonObject{{QStringLiteral("table"), t.table}, {QStringLiteral("rows"), double(t.rows)}});
        QJsonObject o{{QStringLiteral("action"), run.action},
                      {QStringLiteral("category"), categoryName(run.category)},
                      {QStringLiteral("historyTable"), tableName(run.category)},
                      {QStringLiteral("rows"), double(total(run.result))},
                      {QStringLiteral("tables"), tables},
                      {QStringLiteral("chunks"), run.result.chunks},
                      {QStringLiteral("interrupted"), run.result.interrupted}};
        if (run.action == QLatin1String("purge")) {
            o.insert(QStringLiteral("before"), run.policy.before.toString(Qt::ISODate));
            o.insert(QStringLiteral("keepLast"), run.policy.keepLast);
            o.insert(QStringLiteral("withPersons"), run.policy.withPersons);
        }
        runs.append(o);
        all += total(run.result);
    }
    QJsonObject o{{QStringLiteral("command"), summary.command},
                  {QStringLiteral("dryRun"), summary.dryRun},
                  {QStringLiteral("runId"), summary.runId},
                  {QStringLiteral("runs"), runs},
                  {QStringLiteral("rows"), double(all)},
                  {QStringLiteral("interrupted"), summary.interrupted},
                  {QStringLiteral("compacted"), summary.compacted},
                  {QStringLiteral("compactText"), summary.compactText}};
    if (!summary.error.isEmpty())
        o.insert(QStringLiteral("error"), summary.error);
    return o;
}

} // namespace app
