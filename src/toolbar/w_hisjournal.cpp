#include "toolbar/w_hisjournal.h"

#include "platform/core/Functions.h"
#include "host/Journal.h"
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
                          QString::fromUtf8("记录数"), QString::fromUtf8("结果"), QString::fromUtf8("说明")};
enum Col { At, Operator, Login, Action, Category, Key, Counts, Outcome, Detail };
const QString BoxTitle = QString::fromUtf8("提示");

} // namespace

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
    host::ScreenFit::keepOnScreen(this);
    // The operators who have entries, to choose from.
    ddlb_operator->addItem(QString::fromUtf8("全部"));
    rt::Cursor operators(host::g().photosqlca, QStringLiteral("SELECT DISTINCT operator FROM hm_journal ORDER BY operator"));
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
    QString sql = QStringLiteral("SELECT at, operator, login, action, category, reckey, counts, outcome, detail FROM hm_journal "
                                 "WHERE 1 = 1");
    QList<rt::Value> params;
    // A day includes all of itself: from its first moment to the next day's.
    if (cbx_from->isChecked()) {
        sql += QStringLiteral(" AND at >= ?");
        params << rt::Value(rt::DateTime(from));
    }
    if (cbx_to->isChecked()) {
        sql += QStringLiteral(" AND at < ?");
        params << rt::Value(rt::DateTime(to.addDays(1)));
    }
    if (ddlb_operator->currentIndex() > 0) {
        sql += QStringLiteral(" AND operator = ?");
        params << rt::Value(ddlb_operator->currentText());
    }
    if (ddlb_action->currentIndex() > 0) {
        sql += QStringLiteral(" AND action = ?");
        params << rt::Value(ddlb_action->currentText());
    }
    if (!sle_key->text().trimmed().isEmpty()) {
        sql += QStringLiteral(" AND reckey = ?");
        params << rt::Value(sle_key->text().trimmed());
    }
    sql += QStringLiteral(" ORDER BY id DESC LIMIT %1").arg(Shown + 1);
    rt::Transaction &t = host::g().photosqlca;
    rt::Cursor cursor(t, sql);
    entries->setRowCount(0);
    if (cursor.open(params) != 0) {
        st_status->setText(model::ReadFailure::historyText(t));
        return -1;
    }
    QList<rt::Value> row;
    row << rt::Value::null(rt::ValueType::DateTime);
    for (int i = 1; i < Headers.size(); ++i)
        row << rt::Value::null(rt::ValueType::String);
    // Each column's width for its whole contents, measured as the rows come.
    const QFontMetrics metrics = entries->fontMetrics();
    // The delegate's margin on each side of the text, and the grid line (a pixel short and the
    // text is cut with "…").
    const int padding = 2 * (entries->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, entries) + 1)
                        + (entries->showGrid() ? 1 : 0) + 1;
    m_wanted = QList<int>(Headers.size(), 0);
    long n = 0;
    while (n < Shown && cursor.fetch(row) == 0) {
        entries->insertRow(int(n));
        for (int col = 0; col < row.size(); ++col) {
            const QString text = row[col].isNull() ? QString()
                                 : col == At       ? row[col].dateTime().toCanonical().left(19)
                                 : col == Counts   ? shownCounts(row[col].toText())
                                                   : row[col].toText();
            auto *item = new QTableWidgetItem(text);
            if (col >= Category)
                item->setToolTip(text); // whole, when its column is cut
            entries->setItem(int(n), col, item);
            m_wanted[col] = std::max(m_wanted[col], metrics.horizontalAdvance(text) + padding);
        }
        ++n;
    }
    const bool more = n == Shown && cursor.fetch(row) == 0;
    cursor.close();
    fitColumns();
    st_status->setText(more ? QString::fromUtf8("显示最新的 %1 条记录；请用日期等条件缩小范围。").arg(rt::fn::Grouped(n))
                            : QString::fromUtf8("共 %1 条记录").arg(rt::fn::Grouped(n)));
    return n;
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
        // The time, the key and the outcome are short and read whole: never cut.
        if (c == At || c == Key || c == Outcome)
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
    QStringList line;
    for (const QString &h : Headers)
        line << rt::ui::DwExporter::csvField(h);
    out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    for (int r = 0; r < entries->rowCount(); ++r) {
        line.clear();
        for (int c = 0; c < entries->columnCount(); ++c)
            line << rt::ui::DwExporter::csvField(entries->item(r, c) ? entries->item(r, c)->text() : QString());
        out.write(line.join(QLatin1Char(',')).toUtf8() + "\r\n");
    }
    return out.commit() ? 1 : -1;
}

} // namespace hm
