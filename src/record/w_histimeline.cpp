#include "record/w_histimeline.h"

#include "platform/core/Functions.h"
#include "host/QueryCondition.h"
#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "host/ui/ModuleWindows.h"
#include "model/ReadFailure.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"
#include "platform/dw/DataStore.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/DwValueFormat.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/MdiFrame.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"
#include "record/TimelineView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

namespace {

const model::Category *categoryOf(const rt::ui::DataWindowControl &dw)
{
    QString object = dw.DataObject();
    if (object.endsWith(QLatin1String("_f")))
        object.chop(2);
    return model::CategoryTable::byHistoryGrid(object);
}

} // namespace

w_histimeline::w_histimeline(QWidget *parent) : host::w_response(QStringLiteral("w_histimeline"), parent)
{
    setTitle(QString::fromUtf8("历史轨迹"));
    st_record = new QLabel(client());
    tab_1 = new QTabWidget(client());
    cb_recover = new QPushButton(QString::fromUtf8("恢复此版本(&R)"), client());
    cb_recover->setToolTip(QString::fromUtf8("把选中的历史快照恢复到现有人口信息中（与工具栏“恢复数据”相同）"));
    cb_close = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    connect(cb_close, &QPushButton::clicked, this, [this]() { Close(); });
    connect(cb_recover, &QPushButton::clicked, this, &w_histimeline::recoverChosen);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_recover);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(client());
    layout->addWidget(st_record);
    layout->addWidget(tab_1, 1);
    layout->addLayout(buttons);
    cb_recover->setEnabled(false);
    setUnitsSize(3400, 2200);
}

TimelineView *w_histimeline::view(const QString &tabText) const
{
    for (int i = 0; i < tab_1->count(); ++i) {
        if (tab_1->tabText(i) == tabText)
            return qobject_cast<TimelineView *>(tab_1->widget(i));
    }
    return nullptr;
}

void w_histimeline::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    const model::Category *category = m_dw ? categoryOf(*m_dw) : nullptr;
    const host::TableDef *table = category ? host::SchemaCatalogue::byStem(category->stem) : nullptr;
    const long row = m_dw ? (m_dw->GetRow() > 0 ? m_dw->GetRow() : 1) : 0;
    if (!table || row < 1 || row > m_dw->RowCount())
        return;
    const QString key = m_dw->GetItemString(row, table->keyColumn);
    const rt::Value hisid = m_dw->GetItem(row, "hisid");
    st_record->setText(QString::fromUtf8("%1　%2：%3").arg(category->tabText, host::QueryCondition::caption(m_dw->dataStore().definition(),
                                                                                                      m_dw->dataStore().columnIndex(rt::DwCol(table->keyColumn))),
                                                         key));
    host::Globals &g = host::g();
    m_main = new TimelineView(tab_1);
    m_main->setTimeline(RecordTimeline::load(*category, key, g.sqlca, g.photosqlca));
    tab_1->addTab(m_main, category->tabText);
    // The row the window was opened on is the state chosen first.
    for (int s = 0; s < m_main->timeline().states.size(); ++s) {
        if (!hisid.isNull() && m_main->timeline().states[s].hisid == hisid)
            m_main->setCurrentState(s);
    }
    // 恢复此版本 recovers a snapshot of the record's own category, chosen on its own tab.
    const auto follow = [this]() {
        cb_recover->setEnabled(tab_1->currentWidget() == m_main && !m_main->currentHisid().isNull());
    };
    connect(m_main, &TimelineView::currentStateChanged, this, follow);
    connect(tab_1, &QTabWidget::currentChanged, this, follow);
    follow();
    if (category->stem == QLatin1String("ge_personinfo")) {
        // The person's related records, each its own timeline under the same person number.
        for (const model::Category &c : model::CategoryTable::all()) {
            const host::TableDef *t = host::SchemaCatalogue::byStem(c.stem);
            if (&c == category || !t || t->keyColumn.compare(QLatin1String("PersonNo"), Qt::CaseInsensitive) != 0)
                continue;
            auto *v = new TimelineView(tab_1);
            v->setTimeline(RecordTimeline::load(c, key, g.sqlca, g.photosqlca));
            tab_1->addTab(v, c.tabText);
        }
    } else if (category->stem == QLatin1String("ge_rpr")) {
        addMembers(key);
    }
}

void w_histimeline::addMembers(const QString &householdKey)
{
    const model::Category *persons = model::CategoryTable::byStem(QStringLiteral("ge_personinfo"));
    rt::DataStore rows;
    if (!persons || rows.SetDataObject(persons->historyGrid) != 1)
        return;
    rows.SetSQLSelect(rows.GetSQLSelect() + QStringLiteral(" WHERE %1 = ? ORDER BY %2, SaveTime DESC, hisid DESC")
                                                .arg(rt::sqlIdentifier(QStringLiteral("RprNo")), rt::sqlIdentifier(QStringLiteral("PersonNo"))));
    rows.SetTransObject(&host::g().photosqlca);
    const long n = rows.Retrieve({rt::Value(householdKey)});
    m_members = new QTableWidget(tab_1);
    m_members->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_members->verticalHeader()->setVisible(false);
    const rt::DwDefinition &def = rows.definition();
    const QStringList shown{QStringLiteral("PersonNo"), QStringLiteral("personname"), QStringLiteral("relation"),
                            QStringLiteral("SaveTime"), QStringLiteral("issave")};
    QList<int> columns;
    QStringList headers;
    for (const QString &name : shown) {
        const int c = def.findColumn(name);
        if (c < 0)
            continue;
        columns << c;
        headers << host::QueryCondition::caption(def, c);
    }
    m_members->setColumnCount(int(columns.size()));
    m_members->setHorizontalHeaderLabels(headers);
    m_members->setRowCount(int(std::max<long>(0, n)));
    for (long r = 1; r <= n; ++r) {
        for (int i = 0; i < columns.size(); ++i) {
            const rt::Value v = rows.GetItem(r, columns[i] + 1);
            m_members->setItem(int(r - 1), i,
                               new QTableWidgetItem(v.isNull() ? QString() : rt::ui::DwValueFormat::display(v, def.column(columns[i]))));
        }
    }
    m_members->resizeColumnsToContents();
    tab_1->addTab(m_members, n < 0 ? QString::fromUtf8("家庭成员（读取失败）") : QString::fromUtf8("家庭成员（%1 份快照）").arg(rt::fn::Grouped(n)));
}

void w_histimeline::recoverChosen()
{
    const rt::Value hisid = m_main ? m_main->currentHisid() : rt::Value();
    const model::Category *category = m_dw ? categoryOf(*m_dw) : nullptr;
    if (hisid.isNull() || !category)
        return;
    const auto tell = [](const QString &text) { rt::ui::MessageBox(QString::fromUtf8("提示"), text); };
    // The grid in view must be this category's: its rows are where the recovery starts.
    rt::ui::MdiFrame *frame = host::ModuleWindows::w_histmanage();
    rt::ui::PbWindow *sheet = frame ? frame->GetActiveSheet() : nullptr;
    rt::ui::DataWindowControl *grid = nullptr;
    if (sheet)
        rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
    if (!grid || grid->DataObject() != category->historyGrid) {
        tell(QString::fromUtf8("请先在左边选中“%1”所在的类别，再恢复这份快照。").arg(category->tabText));
        return;
    }
    // Found before anything closes. A grid still reading is asked first whether the snapshot is
    // among its rows at all (a query may leave it out), so that nothing reads to the end for it.
    rt::Transaction &history = host::g().photosqlca;
    if (grid->canRetrieveMore()) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        QList<rt::Value> params = grid->dataStore().retrieveArguments();
        params << hisid;
        if (history.selectInto(QStringLiteral("SELECT count(*) FROM (\n%1\n) hm_find WHERE hisid = ?")
                                   .arg(grid->dataStore().retrievedSelect()),
                               params, n)
            != 0) {
            tell(model::ReadFailure::historyText(history));
            return;
        }
        if (n[0].longValue() == 0) {
            tell(QString::fromUtf8("这份快照不在表格当前的查询结果中。请用工具栏“数据检索”显示全部记录后再恢复。"));
            return;
        }
    }
    long found = 0;
    for (long r = 1; found == 0; ++r) {
        if (r > grid->RowCount()) {
            if (!grid->canRetrieveMore())
                break;
            if (grid->RetrieveMore() < 0) {
                tell(model::ReadFailure::historyText(history));
                return;
            }
        }
        if (r <= grid->RowCount() && grid->GetItem(r, "hisid") == hisid)
            found = r;
    }
    if (found == 0) {
        tell(QString::fromUtf8("这份快照不在表格当前显示的记录中（可能已被删除）。请用工具栏“数据检索”重新读取后再恢复。"));
        return;
    }
    // The record window the timeline may have been opened from shows a copy of a grid row that
    // the recovery will move: it closes too, and the recovery runs only once both have.
    QPointer<rt::ui::PbWindow> record;
    for (QObject *o = m_dw->parent(); o; o = o->parent()) {
        if (auto *w = qobject_cast<rt::ui::PbWindow *>(o)) {
            if (w->ClassName() == QLatin1String("w_hismodify"))
                record = w;
            break;
        }
    }
    if (Close() != 1 || (record && record->Close() != 1))
        return;
    grid->SetRow(found);
    grid->ScrollToRow(found);
    rt::ui::LateBinding::triggerEvent(frame, "ue_recovery");
}

} // namespace hm
