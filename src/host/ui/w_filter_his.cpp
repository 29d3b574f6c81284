#include "host/ui/w_filter_his.h"

#include "host/LockHint.h"
#include "host/ui/DateField.h"
#include "host/ui/ElidedLabel.h"
#include "host/ui/Globals.h"
#include "host/ui/ScreenFit.h"
#include "platform/core/Functions.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace host {

namespace {
enum Cell { Join, Column, Operator, Value };
const QString BoxTitle = QString::fromUtf8("提示");

} // namespace

w_filter_his::w_filter_his(QWidget *parent) : w_response(QStringLiteral("w_filter_his"), parent)
{
    setTitle(QString::fromUtf8("查询"));
    conditions = new QTableWidget(0, 4, client());
    conditions->setHorizontalHeaderLabels(
        {QString::fromUtf8("关系"), QString::fromUtf8("列"), QString::fromUtf8("条件"), QString::fromUtf8("值")});
    conditions->verticalHeader()->hide();
    conditions->horizontalHeader()->setSectionResizeMode(Value, QHeaderView::Stretch);
    conditions->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Tab goes from field to field and on to the buttons (orderTabs); within the table it
    // would only go round the cells.
    conditions->setTabKeyNavigation(false);
    cb_add = new QPushButton(QString::fromUtf8("添加条件(&A)"), client());
    cb_remove = new QPushButton(QString::fromUtf8("删除条件(&D)"), client());
    cb_query = new QPushButton(QString::fromUtf8("查询(&Q)"), client());
    cb_all = new QPushButton(QString::fromUtf8("全部显示(&S)"), client());
    cb_close = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    cb_query->setDefault(true);
    connect(cb_add, &QPushButton::clicked, this, [this]() { addTerm(QueryTerm{}); });
    connect(cb_remove, &QPushButton::clicked, this, [this]() { removeTerm(conditions->currentRow()); });
    connect(cb_query, &QPushButton::clicked, this, [this]() { query(); });
    connect(cb_all, &QPushButton::clicked, this, [this]() { showAll(); });
    connect(cb_close, &QPushButton::clicked, this, [this]() { Close(); });
    // The condition in words can be as long as the values typed: cut to the window, never
    // widening it past the screen (whole in the label's tool tip).
    m_status = new ElidedLabel(client());
    m_status->setObjectName(QStringLiteral("st_status"));
    auto *side = new QVBoxLayout;
    for (QPushButton *b : {cb_add, cb_remove})
        side->addWidget(b);
    side->addStretch(1);
    for (QPushButton *b : {cb_query, cb_all, cb_close})
        side->addWidget(b);
    auto *top = new QHBoxLayout;
    top->addWidget(conditions, 1);
    top->addLayout(side);
    auto *layout = new QVBoxLayout(client());
    layout->addLayout(top, 1);
    layout->addWidget(m_status);
    setUnitsSize(2600, 1400);
}

void w_filter_his::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    ScreenFit::keepOnScreen(this);
    if (!m_dw)
        return;
    setTitle(QString::fromUtf8("查询 - %1").arg(m_dw->title()));
    // A grid that reads as needed has its first rows, not all it found: the count follows.
    connect(m_dw, &rt::ui::DataWindowControl::totalRowsChanged, this, [this]() {
        if (m_found)
            showFound();
    });
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    for (const int c : def.displayOrder()) {
        if (def.column(c).intProp(QStringLiteral("visible"), 1) != 0)
            m_columns << c;
    }
    addTerm(QueryTerm{});
}

void w_filter_his::addTerm(const QueryTerm &term)
{
    if (!m_dw)
        return;
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    const int row = conditions->rowCount();
    conditions->insertRow(row);
    auto *join = new QComboBox;
    join->addItems({QString::fromUtf8("并且"), QString::fromUtf8("或者")});
    join->setCurrentIndex(term.orWithPrevious ? 1 : 0);
    join->setEnabled(row > 0);
    auto *column = new QComboBox;
    for (const int c : m_columns)
        column->addItem(QueryCondition::caption(def, c), c);
    column->setCurrentIndex(std::max(0, int(m_columns.indexOf(term.column))));
    auto *op = new QComboBox;
    for (const QueryTerm::Op o : QueryCondition::ops())
        op->addItem(QueryCondition::opText(o), int(o));
    op->setCurrentIndex(int(QueryCondition::ops().indexOf(term.op)));
    conditions->setCellWidget(row, Join, join);
    conditions->setCellWidget(row, Column, column);
    conditions->setCellWidget(row, Operator, op);
    setValueEditor(row, term.value);
    connect(column, &QComboBox::currentIndexChanged, this, [this, column]() {
        for (int r = 0; r < conditions->rowCount(); ++r) {
            if (conditions->cellWidget(r, Column) == column)
                setValueEditor(r);
        }
    });
    connect(op, &QComboBox::currentIndexChanged, this, [this, op]() {
        for (int r = 0; r < conditions->rowCount(); ++r) {
            if (conditions->cellWidget(r, Operator) == op && conditions->cellWidget(r, Value))
                conditions->cellWidget(r, Value)->setEnabled(QueryCondition::needsValue(QueryTerm::Op(op->currentData().toInt())));
        }
    });
    conditions->setCurrentCell(row, Value);
}

// A date field for date and datetime columns, a plain edit otherwise; Enter in either queries.
void w_filter_his::setValueEditor(int row, const QString &value)
{
    const auto *column = qobject_cast<QComboBox *>(conditions->cellWidget(row, Column));
    const auto *op = qobject_cast<QComboBox *>(conditions->cellWidget(row, Operator));
    const rt::ValueType type = m_dw->dataStore().definition().columnType(column->currentData().toInt()).valueType;
    QLineEdit *editor = nullptr;
    if (type == rt::ValueType::Date || type == rt::ValueType::DateTime) {
        auto *date = new DateField;
        // A value given that is no date is shown as given, for the query to refuse.
        if (value.isEmpty())
            date->setDate(rt::fn::Today());
        else
            date->setText(value);
        connect(date, &DateField::submitted, this, [this]() { query(); });
        editor = date;
    } else {
        editor = new QLineEdit(value);
        connect(editor, &QLineEdit::returnPressed, this, [this]() { query(); });
    }
    editor->setEnabled(QueryCondition::needsValue(QueryTerm::Op(op->currentData().toInt())));
    conditions->setCellWidget(row, Value, editor);
    orderTabs();
}

void w_filter_his::orderTabs()
{
    QWidget *previous = nullptr;
    const auto next = [&previous](QWidget *w) {
        if (!w)
            return;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    };
    for (int r = 0; r < conditions->rowCount(); ++r) {
        for (const int c : {Join, Column, Operator, Value})
            next(conditions->cellWidget(r, c));
    }
    for (QPushButton *b : {cb_add, cb_remove, cb_query, cb_all, cb_close})
        next(b);
}

void w_filter_his::removeTerm(int row)
{
    if (row < 0 || row >= conditions->rowCount())
        return;
    conditions->removeRow(row);
    if (conditions->rowCount() > 0)
        conditions->cellWidget(0, Join)->setEnabled(false);
    orderTabs();
}

int w_filter_his::termCount() const
{
    return conditions->rowCount();
}

QList<QueryTerm> w_filter_his::terms() const
{
    QList<QueryTerm> list;
    for (int r = 0; r < conditions->rowCount(); ++r) {
        QueryTerm t;
        t.orWithPrevious = r > 0 && qobject_cast<QComboBox *>(conditions->cellWidget(r, Join))->currentIndex() == 1;
        t.column = qobject_cast<QComboBox *>(conditions->cellWidget(r, Column))->currentData().toInt();
        t.op = QueryTerm::Op(qobject_cast<QComboBox *>(conditions->cellWidget(r, Operator))->currentData().toInt());
        if (auto *edit = qobject_cast<QLineEdit *>(conditions->cellWidget(r, Value)))
            t.value = edit->text();
        list << t;
    }
    return list;
}

QString w_filter_his::objectSelect() const
{
    // The object's own select, not the grid's present one: a query replaces the last query.
    QString error;
    const rt::DwLibrary *library = rt::DwLibrary::defaultLibrary();
    const auto own = library ? library->find(m_dw->DataObject(), error) : std::nullopt;
    return own ? own->select() : m_dw->GetSQLSelect();
}

long w_filter_his::retrieveWith(const QString &select, const QString &text)
{
    const QString previous = m_dw->GetSQLSelect();
    m_dw->SetSQLSelect(select);
    m_dw->SetTransObject(&g().photosqlca);
    const long rows = m_dw->Retrieve();
    if (rows < 0) {
        const QString why = host::LockHint::add(QString::fromUtf8("查询失败：%1").arg(g().photosqlca.SQLErrText()), g().photosqlca);
        m_dw->SetSQLSelect(previous);
        rt::ui::MessageBox(BoxTitle, why);
        return -1;
    }
    g().gs_querystr = text;
    m_found = true;
    m_foundText = text;
    showFound();
    return rows;
}

void w_filter_his::showFound()
{
    if (!m_dw)
        return;
    const long long total = m_dw->totalRows();
    const QString what = m_foundText.isEmpty() ? QString() : QString::fromUtf8("：%1").arg(m_foundText);
    if (total < 0) {
        m_status->setFullText(QString::fromUtf8("已读取 %1 条记录，正在统计总数……%2").arg(rt::fn::Grouped(m_dw->RowCount()), what));
        return;
    }
    m_status->setFullText(m_foundText.isEmpty() ? QString::fromUtf8("共 %1 条记录").arg(rt::fn::Grouped(total))
                                                : QString::fromUtf8("查询到 %1 条记录：%2").arg(rt::fn::Grouped(total), m_foundText));
}

int w_filter_his::badDateRow() const
{
    for (int r = 0; r < conditions->rowCount(); ++r) {
        const auto *date = qobject_cast<const DateField *>(conditions->cellWidget(r, Value));
        if (date && date->isEnabled() && !date->date().isValid())
            return r;
    }
    return -1;
}

long w_filter_his::query()
{
    if (!m_dw)
        return -1;
    // A date half typed or that does not exist is refused here, in the field's own words; the
    // operator is taken back to it.
    if (const int bad = badDateRow(); bad >= 0) {
        const QString caption = qobject_cast<QComboBox *>(conditions->cellWidget(bad, Column))->currentText();
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("“%1”的日期不正确，请按“年-月-日”输入一个存在的日期。").arg(caption));
        auto *field = qobject_cast<DateField *>(conditions->cellWidget(bad, Value));
        conditions->setCurrentCell(bad, Value);
        conditions->scrollTo(conditions->model()->index(bad, Value));
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
        return -1;
    }
    QString sql, text, error;
    const rt::Transaction *t = m_dw->dataStore().transaction();
    if (!QueryCondition::build(m_dw->dataStore().definition(), terms(), sql, text, error,
                               QueryCondition::dialectOf(t ? t->DBMS : QString()))) {
        rt::ui::MessageBox(BoxTitle, error);
        return -1;
    }
    return retrieveWith(QueryCondition::restrict(objectSelect(), sql), text);
}

long w_filter_his::showAll()
{
    if (!m_dw)
        return -1;
    return retrieveWith(objectSelect(), QString(QLatin1String("")));
}

QString w_filter_his::statusText() const
{
    return m_status->fullText();
}

} // namespace host
