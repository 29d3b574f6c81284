#include "toolbar/w_hisjournal.h"

#include "platform/core/Functions.h"
#include "model/journal/Journal.h"
#include "host/ui/DateField.h"
#include "host/ui/Globals.h"
#include "host/ui/ScreenFit.h"
#include "model/CategoryTable.h"
#include "model/ReadFailure.h"
#include "platform/core/Cursor.h"
#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"
#include "platform/ui/DwExporter.h"
#include "platform/ui/OperatorDialogs.h"

#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QHash>
#include <QMap>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

namespace {
const QStringList Headers{QString::fromUtf8("时间"), QString::fromUtf8("操作员"), QString::fromUtf8("登录名"),
                          QString::fromUtf8("操作"), QString::fromUtf8("类别"), QString::fromUtf8("编号"),
                          QString::fromUtf8("记录数"), QString::fromUtf8("审计"), QString::fromUtf8("结果"),
                          QString::fromUtf8("说明")};
enum Col { At, Operator, Login, Action, Category, Key, Counts, Audit, Outcome, Detail };
const QString BoxTitle = QString::fromUtf8("提示");
const QString Unjournaled = QString::fromUtf8("（未经本程序）");
const QString MismatchPrefix = QString::fromUtf8("（不符）");
constexpr int MarkRole = Qt::UserRole + 1;

// The history rows each table lost, as a journal entry counts them ("th_ge_rpr 1，…").
QMap<QString, long long> parseCounts(const QString &stored)
{
    QMap<QString, long long> out;
    for (const QString &part : stored.split(QString::fromUtf8("，"), Qt::SkipEmptyParts)) {
        const qsizetype space = part.lastIndexOf(QLatin1Char(' '));
        bool number = false;
        const long long rows = space > 0 ? part.mid(space + 1).toLongLong(&number) : 0;
        if (number && rows != 0)
            out[part.left(space).trimmed().toLower()] += rows;
    }
    return out;
}

} // namespace

// One row of the list before it is shown: a journal entry with its transaction's audit, or a
// transaction of the audit that no entry explains.
struct w_hisjournal::Line
{
    rt::DateTime at;
    QStringList cells;        // one per column
    // The entry's transaction, its number and start ("txid|start" as the server writes them):
    // empty for an entry older than the trail.
    QString transaction;
    QStringList audit;        // shownAudit of each table and operation
    QMap<QString, long long> deleted; // history rows the transaction's audit saw go, by table
    QMap<QString, long long> counted; // history rows the entry counts, by table
    QMap<QString, long long> restored; // live rows a recovery's audit saw written, by history table
    bool unexplained = false;          // the audit holds a change the entry's action never makes
    Mark mark = Mark::None;
};

w_hisjournal::w_hisjournal(QWidget *parent) : host::w_response(QStringLiteral("w_hisjournal"), parent)
{
    setTitle(QString::fromUtf8("操作记录"));
    QWidget *c = client();
    cbx_from = new QCheckBox(QString::fromUtf8("从"), c);
    cbx_to = new QCheckBox(QString::fromUtf8("到"), c);
    de_from = new host::DateField(c);
    de_to = new host::DateField(c);
    de_from->setObjectName(QStringLiteral("de_from"));
    de_to->setObjectName(QStringLiteral("de_to"));
    de_from->setDate(QDate::currentDate().addDays(-30));
    de_to->setDate(QDate::currentDate());
    ddlb_operator = new QComboBox(c);
    ddlb_action = new QComboBox(c);
    ddlb_action->addItems({QString::fromUtf8("全部"), QString::fromUtf8("删除"), QString::fromUtf8("删除户"),
                           QString::fromUtf8("删除人员"), QString::fromUtf8("批量删除"), QString::fromUtf8("恢复")});
    sle_key = new QLineEdit(c);
    sle_key->setPlaceholderText(QString::fromUtf8("户号或人员编号"));
    cb_query = new QPushButton(QString::fromUtf8("查询(&Q)"), c);
    cb_export = new QPushButton(QString::fromUtf8("导出 CSV(&E)..."), c);
    cb_close = new QPushButton(QString::fromUtf8("关闭(&C)"), c);
    entries = new QTableWidget(c);
    entries->setColumnCount(int(Headers.size()));
    entries->setHorizontalHeaderLabels(Headers);
    entries->setColumnHidden(Audit, true); // until the register is known to have the trail
    entries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    entries->setSelectionBehavior(QAbstractItemView::SelectRows);
    entries->setWordWrap(false);
    entries->setTabKeyNavigation(false); // Tab goes on to the buttons; the arrows move in the list
    entries->verticalHeader()->setVisible(false);
    // fitColumns gives 说明 the rest of the width, at every width the view has.
    entries->horizontalHeader()->setStretchLastSection(false);
    entries->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    entries->viewport()->installEventFilter(this);
    st_status = new QLabel(c);
    auto *filters = new QGridLayout;
    filters->addWidget(cbx_from, 0, 0);
    filters->addWidget(de_from, 0, 1);
    filters->addWidget(cbx_to, 0, 2);
    filters->addWidget(de_to, 0, 3);
    filters->addWidget(new QLabel(QString::fromUtf8("操作员"), c), 1, 0);
    filters->addWidget(ddlb_operator, 1, 1);
    filters->addWidget(new QLabel(QString::fromUtf8("操作"), c), 1, 2);
    filters->addWidget(ddlb_action, 1, 3);
    filters->addWidget(new QLabel(QString::fromUtf8("编号"), c), 1, 4);
    filters->addWidget(sle_key, 1, 5);
    filters->addWidget(cb_query, 0, 5);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(st_status, 1);
    buttons->addWidget(cb_export);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(c);
    layout->addLayout(filters);
    layout->addWidget(entries, 1);
    layout->addLayout(buttons);
    connect(cb_query, &QPushButton::clicked, this, [this]() { query(); });
    connect(sle_key, &QLineEdit::returnPressed, this, [this]() { query(); });
    for (host::DateField *d : {de_from, de_to})
        connect(d, &host::DateField::submitted, this, [this]() { query(); });
    connect(cb_close, &QPushButton::clicked, this, [this]() { Close(); });
    connect(cb_export, &QPushButton::clicked, this, [this]() {
        const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8("导出操作记录"), QString::fromUtf8("操作记录.csv"),
                                                          QString::fromUtf8("CSV 文件 (*.csv)"));
        if (!file.isEmpty() && exportCsv(file) != 1)
            rt::ui::MessageBox(BoxTitle, QString::fromUtf8("没有导出：无法写入 %1").arg(file));
    });
    // Wide enough for every column of a typical entry on a common screen; kept within a
    // smaller one when opened.
    setUnitsSize(5400, 2400);
}

void w_hisjournal::onOpen()
{
    // The trail is the server's: the files have none, and 审计 stays out of sight there.
    rt::Transaction &t = host::g().photosqlca;
    if (t.DBMS.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        QList<rt::Value> found{rt::Value::null(rt::ValueType::Boolean)};
        m_audited = t.selectInto(QStringLiteral("SELECT to_regclass('history.hm_audit') IS NOT NULL"), {}, found) == 0
                    && found[0].boolean();
    }
    entries->setColumnHidden(Audit, !m_audited);
    if (m_audited) {
        ddlb_action->addItem(Unjournaled);
        setUnitsSize(6200, 2400); // room for 审计 too
    }
    host::ScreenFit::keepOnScreen(this);
    // The operators who have entries (and, with the trail, the logins that changed anything),
    // to choose from.
    ddlb_operator->addItem(QString::fromUtf8("全部"));
    rt::Cursor operators(t, m_audited ? QStringLiteral("SELECT operator FROM hm_journal UNION SELECT db_user FROM hm_audit ORDER BY 1")
                                      : QStringLiteral("SELECT DISTINCT operator FROM hm_journal ORDER BY operator"));
    if (operators.open() == 0) {
        QList<rt::Value> row{rt::Value::null(rt::ValueType::String)};
        while (operators.fetch(row) == 0) {
            if (!row[0].isNull())
                ddlb_operator->addItem(row[0].string());
        }
        operators.close();
    }
    query();
}

QString w_hisjournal::shownCounts(const QString &stored)
{
    // As Journal::countsText writes them: "table rows" joined by "，".
    QStringList parts = stored.split(QString::fromUtf8("，"));
    for (QString &part : parts) {
        const qsizetype space = part.lastIndexOf(QLatin1Char(' '));
        if (space <= 0)
            continue;
        bool number = false;
        const long long rows = part.mid(space + 1).toLongLong(&number);
        if (!number)
            continue;
        const QString table = part.left(space);
        const model::Category *category = model::CategoryTable::byHistoryTable(table);
        part = (category ? category->tabText : table) + QLatin1Char(' ') + rt::fn::Grouped(rows);
    }
    return parts.join(QString::fromUtf8("，"));
}

long w_hisjournal::query()
{
    // A range refused as the batch dialog refuses it, before anything listed changes.
    const QDate from = de_from->date(), to = de_to->date();
    const char *refusal = nullptr;
    host::DateField *atFault = nullptr;
    if (cbx_from->isChecked() && !from.isValid()) {
        refusal = "开始日期不正确，请按“年-月-日”输入一个存在的日期。";
        atFault = de_from;
    } else if (cbx_to->isChecked() && !to.isValid()) {
        refusal = "结束日期不正确，请按“年-月-日”输入一个存在的日期。";
        atFault = de_to;
    } else if (cbx_from->isChecked() && cbx_to->isChecked() && from > to) {
        refusal = "开始日期不能大于结束日期";
        atFault = de_from;
    }
    if (refusal) {
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8(refusal));
        atFault->setFocus(Qt::OtherFocusReason);
        atFault->selectAll();
        return -1;
    }
    QList<rt::Value> params;
    const QString condition = entryCondition(params);
    QList<Line> lines;
    rt::Transaction &t = host::g().photosqlca;
    entries->setRowCount(0);
    // The entries, unless only what the program did not do is asked for.
    if (!m_audited || ddlb_action->currentText() != Unjournaled) {
        const QString sql = QStringLiteral("SELECT at, operator, login, action, category, reckey, counts, outcome, detail%1 "
                                           "FROM hm_journal WHERE 1 = 1%2 ORDER BY id DESC LIMIT %3")
                                .arg(m_audited ? QStringLiteral(", txid::text || '|' || txat::text") : QString(), condition)
                                .arg(Shown + 1);
        rt::Cursor cursor(t, sql);
        if (cursor.open(params) != 0) {
            st_status->setText(model::ReadFailure::historyText(t));
            return -1;
        }
        QList<rt::Value> row{rt::Value::null(rt::ValueType::DateTime)};
        for (int i = 1; i < 9; ++i)
            row << rt::Value::null(rt::ValueType::String);
        if (m_audited)
            row << rt::Value::null(rt::ValueType::String);
        while (lines.size() <= Shown && cursor.fetch(row) == 0) {
            Line line;
            line.at = row[0].isNull() ? rt::DateTime() : row[0].dateTime();
            for (int col = 0, field = 0; col < Headers.size(); ++col) {
                if (col == Audit) {
                    line.cells << QString();
                    continue;
                }
                const rt::Value &v = row[field++];
                line.cells << (v.isNull()           ? QString()
                               : col == At          ? v.dateTime().toCanonical().left(19)
                               : col == Counts      ? shownCounts(v.toText())
                                                    : v.toText());
            }
            if (m_audited && !row[9].isNull())
                line.transaction = row[9].string();
            line.deleted = parseCounts(row[Counts].isNull() ? QString() : row[Counts].toText());
            line.counted = line.deleted;
            lines << line;
        }
        cursor.close();
    }
    if (m_audited && !readAudit(lines, condition, params))
        return -1;
    const bool more = lines.size() > Shown;
    // Newest first; the entries' own order (by number) among equal times.
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return b.at < a.at; });
    if (more)
        lines.resize(Shown);

    // Each column's width for its whole contents, measured as the rows are put in.
    const QFontMetrics metrics = entries->fontMetrics();
    // The delegate's margin on each side of the text, and the grid line (a pixel short and the
    // text is cut with "…").
    const int padding = 2 * (entries->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, entries) + 1)
                        + (entries->showGrid() ? 1 : 0) + 1;
    m_wanted = QList<int>(Headers.size(), 0);
    const QColor unjournaledColour(255, 221, 221), mismatchColour(255, 236, 179);
    long unjournaled = 0;
    entries->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const Line &line = lines[r];
        unjournaled += line.mark == Mark::Unjournaled ? 1 : 0;
        for (int col = 0; col < Headers.size(); ++col) {
            const QString &text = line.cells[col];
            auto *item = new QTableWidgetItem(text);
            if (col >= Category)
                item->setToolTip(text); // whole, when its column is cut
            if (line.mark != Mark::None)
                item->setBackground(line.mark == Mark::Unjournaled ? unjournaledColour : mismatchColour);
            if (col == At)
                item->setData(MarkRole, int(line.mark));
            entries->setItem(r, col, item);
            m_wanted[col] = std::max(m_wanted[col], metrics.horizontalAdvance(text) + padding);
        }
    }
    fitColumns();
    const long n = long(lines.size());
    QString status = more ? QString::fromUtf8("显示最新的 %1 条记录；请用日期等条件缩小范围。").arg(rt::fn::Grouped(n))
                          : QString::fromUtf8("共 %1 条记录").arg(rt::fn::Grouped(n));
    if (unjournaled > 0)
        status += QString::fromUtf8("，其中 %1 条未经本程序").arg(rt::fn::Grouped(unjournaled));
    st_status->setText(status);
    return n;
}

QString w_hisjournal::periodCondition(const QString &at, const QString &login, QList<rt::Value> &params) const
{
    QString sql;
    // A day includes all of itself: from its first moment to the next day's.
    if (cbx_from->isChecked()) {
        sql += QStringLiteral(" AND %1 >= ?").arg(at);
        params << rt::Value(rt::DateTime(de_from->date()));
    }
    if (cbx_to->isChecked()) {
        sql += QStringLiteral(" AND %1 < ?").arg(at);
        params << rt::Value(rt::DateTime(de_to->date().addDays(1)));
    }
    if (ddlb_operator->currentIndex() > 0) {
        sql += QStringLiteral(" AND %1 = ?").arg(login);
        params << rt::Value(ddlb_operator->currentText());
    }
    return sql;
}

QString w_hisjournal::entryCondition(QList<rt::Value> &params) const
{
    QString sql = periodCondition(QStringLiteral("at"), QStringLiteral("operator"), params);
    if (ddlb_action->currentIndex() > 0 && ddlb_action->currentText() != Unjournaled) {
        sql += QStringLiteral(" AND action = ?");
        params << rt::Value(ddlb_action->currentText());
    }
    if (!sle_key->text().trimmed().isEmpty()) {
        sql += QStringLiteral(" AND reckey = ?");
        params << rt::Value(sle_key->text().trimmed());
    }
    return sql;
}

bool w_hisjournal::readAudit(QList<Line> &lines, const QString &condition, const QList<rt::Value> &params)
{
    rt::Transaction &t = host::g().photosqlca;
    const auto fail = [&]() {
        st_status->setText(model::ReadFailure::historyText(t));
        return false;
    };
    // What the transactions of the entries read changed, table by table, in the order done.
    QMultiHash<QString, int> byTransaction;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].transaction.isEmpty())
            byTransaction.insert(lines[i].transaction, i);
    }
    // What each action of the program changes: a deletion takes history rows and nothing else; a
    // recovery takes history rows, writes live rows (new or replaced; a replacement's row is
    // locked and then written, so its statements are not one a row) and keeps a replaced live
    // state as history. Anything else in its transaction is not the program's,
    // whatever the entry claims.
    const auto add = [](Line &line, const QString &table, const QString &operation, long long rows) {
        line.audit << shownAudit(table, operation, rows);
        const QString history = QStringLiteral("history."), live = QStringLiteral("live.");
        const bool recovery = line.cells[Action] == QString::fromUtf8("恢复");
        const bool fromHistory = table.startsWith(history), toLive = table.startsWith(live);
        if (fromHistory && (operation == QLatin1String("DELETE") || operation == QLatin1String("TRUNCATE"))) {
            line.deleted[table.mid(history.size()).toLower()] -= rows;
            line.unexplained = line.unexplained || operation == QLatin1String("TRUNCATE");
        } else if (recovery && toLive && (operation == QLatin1String("INSERT") || operation == QLatin1String("UPDATE"))) {
            line.restored[QStringLiteral("th_") + table.mid(live.size()).toLower()] += rows;
        } else if (!(recovery && fromHistory && operation == QLatin1String("INSERT"))) {
            line.unexplained = true;
        }
    };
    if (!byTransaction.isEmpty()) {
        const QString sql = QStringLiteral("SELECT txid::text || '|' || at::text, table_name, operation, sum(row_count) FROM hm_audit "
                                           "WHERE (txid, at) IN (SELECT txid, txat FROM hm_journal WHERE txid IS NOT NULL%1 "
                                           "ORDER BY id DESC LIMIT %2) GROUP BY txid, at, table_name, operation ORDER BY txid, at, min(id)")
                                .arg(condition)
                                .arg(Shown + 1);
        rt::Cursor cursor(t, sql);
        if (cursor.open(params) != 0)
            return fail();
        QList<rt::Value> row{rt::Value::null(rt::ValueType::String), rt::Value::null(rt::ValueType::String),
                             rt::Value::null(rt::ValueType::String), rt::Value::null(rt::ValueType::Long)};
        // Each audit row goes to every entry of its transaction (a failure's entry has a
        // transaction of its own).
        while (cursor.fetch(row) == 0) {
            for (auto it = byTransaction.constFind(row[0].string()); it != byTransaction.cend() && it.key() == row[0].string(); ++it)
                add(lines[it.value()], row[1].string(), row[2].string(), row[3].longValue());
        }
        cursor.close();
    }
    for (Line &line : lines) {
        if (line.transaction.isEmpty())
            continue;
        // Whatever the entry counts and the trail did not see go, or the trail saw go and the
        // entry does not count, is left over.
        bool same = !line.unexplained;
        for (auto it = line.deleted.cbegin(); same && it != line.deleted.cend(); ++it)
            same = it.value() == 0;
        // A recovery writes live rows only having taken history rows: the record's own, and the
        // person a related record's recovery brings back (written from history, none taken).
        long long taken = 0;
        for (long long rows : std::as_const(line.counted))
            taken += rows;
        if (same && !line.restored.isEmpty())
            same = taken > 0;
        const QString seen = line.audit.isEmpty() && !same ? QString::fromUtf8("没有改动") : line.audit.join(QString::fromUtf8("，"));
        line.cells[Audit] = (same ? QString() : MismatchPrefix) + seen;
        line.mark = same ? Mark::None : Mark::Mismatch;
    }

    // The transactions no entry explains, asked for as the entries are but for the program's
    // own actions and keys, which they have none of.
    const bool programOnly = (ddlb_action->currentIndex() > 0 && ddlb_action->currentText() != Unjournaled)
                             || !sle_key->text().trimmed().isEmpty();
    if (programOnly)
        return true;
    QList<rt::Value> values;
    const QString where = periodCondition(QStringLiteral("b.at"), QStringLiteral("b.db_user"), values);
    const QString sql = QStringLiteral("SELECT txid::text || '|' || at::text, table_name, operation, sum(row_count), at::timestamp(6), "
                                       "min(db_user), min(application_name) FROM hm_audit WHERE (txid, at) IN (SELECT DISTINCT b.txid, "
                                       "b.at FROM hm_audit b WHERE NOT EXISTS (SELECT 1 FROM hm_journal j WHERE j.txid = b.txid AND "
                                       "j.txat = b.at)%1 ORDER BY b.txid DESC, b.at DESC LIMIT %2) GROUP BY txid, at, table_name, "
                                       "operation ORDER BY txid DESC, at DESC, min(id)")
                            .arg(where)
                            .arg(Shown + 1);
    rt::Cursor cursor(t, sql);
    if (cursor.open(values) != 0)
        return fail();
    QList<rt::Value> row{rt::Value::null(rt::ValueType::String),   rt::Value::null(rt::ValueType::String),
                         rt::Value::null(rt::ValueType::String),   rt::Value::null(rt::ValueType::Long),
                         rt::Value::null(rt::ValueType::DateTime), rt::Value::null(rt::ValueType::String),
                         rt::Value::null(rt::ValueType::String)};
    QString current;
    bool any = false;
    while (cursor.fetch(row) == 0) {
        if (!any || row[0].string() != current) {
            any = true;
            current = row[0].string();
            Line line;
            line.at = row[4].isNull() ? rt::DateTime() : row[4].dateTime();
            line.cells = QStringList(Headers.size(), QString());
            line.cells[At] = row[4].isNull() ? QString() : line.at.toCanonical().left(19);
            line.cells[Operator] = row[5].toText();
            line.cells[Action] = Unjournaled;
            line.cells[Detail] = row[6].isNull() || row[6].string().isEmpty()
                                     ? QString::fromUtf8("程序：（未说明）")
                                     : QString::fromUtf8("程序：%1").arg(row[6].string());
            line.mark = Mark::Unjournaled;
            lines << line;
        }
        add(lines.last(), row[1].string(), row[2].string(), row[3].longValue());
        lines.last().cells[Audit] = lines.last().audit.join(QString::fromUtf8("，"));
    }
    cursor.close();
    return true;
}

QString w_hisjournal::shownAudit(const QString &table, const QString &operation, long long rows)
{
    const qsizetype dot = table.indexOf(QLatin1Char('.'));
    const QString schema = dot > 0 ? table.left(dot) : QString();
    const QString name = table.mid(dot + 1);
    QString shown = table;
    if (schema == QLatin1String("history")) {
        if (const model::Category *c = model::CategoryTable::byHistoryTable(name))
            shown = c->tabText;
    } else if (schema == QLatin1String("live")) {
        if (const model::Category *c = model::CategoryTable::byHistoryTable(QStringLiteral("th_") + name))
            shown = QString::fromUtf8("现有") + c->tabText;
    }
    static const QHash<QString, QString> operations{{QStringLiteral("INSERT"), QString::fromUtf8("新增")},
                                                    {QStringLiteral("UPDATE"), QString::fromUtf8("修改")},
                                                    {QStringLiteral("DELETE"), QString::fromUtf8("删除")},
                                                    {QStringLiteral("TRUNCATE"), QString::fromUtf8("清空")}};
    return QStringLiteral("%1 %2 %3").arg(shown, operations.value(operation, operation), rt::fn::Grouped(rows));
}

w_hisjournal::Mark w_hisjournal::rowMark(int row) const
{
    const QTableWidgetItem *item = entries->item(row, At);
    return item ? Mark(item->data(MarkRole).toInt()) : Mark::None;
}

void w_hisjournal::fitColumns()
{
    QHeaderView *header = entries->horizontalHeader();
    const int count = int(Headers.size());
    if (m_wanted.size() != count)
        return;
    QList<int> least(count), wanted(count);
    for (int c = 0; c < count; ++c) {
        // The caption with the style's margins, as the header paints it: never cut.
        QStyleOptionHeader option;
        option.initFrom(header);
        option.text = Headers[c];
        option.section = c;
        least[c] = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
        wanted[c] = std::max(least[c], m_wanted[c]);
        if (entries->isColumnHidden(c)) {
            least[c] = wanted[c] = 0; // takes no room
            continue;
        }
        // The time, the action, the key and the outcome are short and read whole: never cut.
        if (c == At || c == Action || c == Key || c == Outcome)
            least[c] = wanted[c];
    }
    // 说明 keeps room for a few words whatever the others hold; they share what is left.
    const int last = count - 1;
    const int detailLeast = std::max(least[last], entries->fontMetrics().horizontalAdvance(QString::fromUtf8("说明说明说明说明说明")));
    const int room = entries->viewport()->width() - detailLeast;
    const auto total = [&](int level) {
        int sum = 0;
        for (int c = 0; c < last; ++c)
            sum += std::max(least[c], std::min(wanted[c], level));
        return sum;
    };
    // The widest columns are cut down alike to the highest level at which all fit.
    int level = *std::max_element(wanted.begin(), wanted.end() - 1);
    if (total(level) > room) {
        int low = 0, high = level;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (total(mid) <= room)
                low = mid;
            else
                high = mid - 1;
        }
        level = low;
    }
    int used = 0;
    for (int c = 0; c < last; ++c) {
        if (entries->isColumnHidden(c))
            continue;
        const int width = std::max(least[c], std::min(wanted[c], level));
        header->resizeSection(c, width);
        used += width;
    }
    header->resizeSection(last, std::max(detailLeast, entries->viewport()->width() - used));
}

bool w_hisjournal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == entries->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return host::w_response::eventFilter(watched, event);
}

int w_hisjournal::exportCsv(const QString &file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !rt::ui::DwExporter::ownerOnly(out))
        return -1;
    out.write("\xEF\xBB\xBF");
    // What is shown: 审计 only where it is in view.
    QStringList line;
    for (int c = 0; c < Headers.size(); ++c) {
        if (!entries->isColumnHidden(c))
            line << rt::ui::DwExporter::csvField(Headers[c]);
    }
    out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    for (int r = 0; r < entries->rowCount(); ++r) {
        line.clear();
        for (int c = 0; c < entries->columnCount(); ++c) {
            if (!entries->isColumnHidden(c))
                line << rt::ui::DwExporter::csvField(entries->item(r, c) ? entries->item(r, c)->text() : QString());
        }
        out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    }
    return out.commit() ? 1 : -1;
}

} // namespace hm
