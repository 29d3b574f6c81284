#include "toolbar/w_hisjournal.h"

#include "host/Journal.h"
#include "host/ui/Globals.h"
#include "model/ReadFailure.h"
#include "platform/core/Cursor.h"
#include "platform/core/DateTime.h"
#include "platform/core/Transaction.h"
#include "platform/ui/DwExporter.h"
#include "platform/ui/OperatorDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

namespace {
const QStringList Headers{QString::fromUtf8("时间"), QString::fromUtf8("操作员"), QString::fromUtf8("登录名"),
                          QString::fromUtf8("操作"), QString::fromUtf8("类别"), QString::fromUtf8("编号"),
                          QString::fromUtf8("记录数"), QString::fromUtf8("结果"), QString::fromUtf8("说明")};
}

w_hisjournal::w_hisjournal(QWidget *parent) : host::w_response(QStringLiteral("w_hisjournal"), parent)
{
    setTitle(QString::fromUtf8("操作记录"));
    QWidget *c = client();
    cbx_from = new QCheckBox(QString::fromUtf8("从"), c);
    cbx_to = new QCheckBox(QString::fromUtf8("到"), c);
    de_from = new QDateEdit(QDate::currentDate().addDays(-30), c);
    de_to = new QDateEdit(QDate::currentDate(), c);
    for (QDateEdit *d : {de_from, de_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
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
    entries->verticalHeader()->setVisible(false);
    entries->horizontalHeader()->setStretchLastSection(true);
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
    connect(cb_close, &QPushButton::clicked, this, [this]() { Close(); });
    connect(cb_export, &QPushButton::clicked, this, [this]() {
        const QString file = QFileDialog::getSaveFileName(this, QString::fromUtf8("导出操作记录"), QString::fromUtf8("操作记录.csv"),
                                                          QString::fromUtf8("CSV 文件 (*.csv)"));
        if (!file.isEmpty() && exportCsv(file) != 1)
            rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("没有导出：无法写入 %1").arg(file));
    });
    setUnitsSize(4000, 2400);
}

void w_hisjournal::onOpen()
{
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

long w_hisjournal::query()
{
    QString sql = QStringLiteral("SELECT at, operator, login, action, category, reckey, counts, outcome, detail FROM hm_journal "
                                 "WHERE 1 = 1");
    QList<rt::Value> params;
    // A day includes all of itself: from its first moment to the next day's.
    if (cbx_from->isChecked()) {
        sql += QStringLiteral(" AND at >= ?");
        params << rt::Value(rt::DateTime(de_from->date()));
    }
    if (cbx_to->isChecked()) {
        sql += QStringLiteral(" AND at < ?");
        params << rt::Value(rt::DateTime(de_to->date().addDays(1)));
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
    long n = 0;
    while (n < Shown && cursor.fetch(row) == 0) {
        entries->insertRow(int(n));
        for (int col = 0; col < row.size(); ++col) {
            const QString text = row[col].isNull() ? QString()
                                 : col == 0        ? row[col].dateTime().toCanonical().left(19)
                                                   : row[col].toText();
            entries->setItem(int(n), col, new QTableWidgetItem(text));
        }
        ++n;
    }
    const bool more = n == Shown && cursor.fetch(row) == 0;
    cursor.close();
    entries->resizeColumnsToContents();
    st_status->setText(more ? QString::fromUtf8("显示最新的 %1 条记录；请用日期等条件缩小范围。").arg(n)
                            : QString::fromUtf8("共 %1 条记录").arg(n));
    return n;
}

int w_hisjournal::exportCsv(const QString &file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
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
