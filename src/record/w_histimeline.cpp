#include "record/w_histimeline.h"

#include "host/QueryCondition.h"
#include "host/SchemaCatalogue.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/ModuleWindows.h"
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
    connect(m_main, &TimelineView::currentStateChanged, this,
            [this]() { cb_recover->setEnabled(!m_main->currentHisid().isNull()); });
    cb_recover->setEnabled(!m_main->currentHisid().isNull());
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
    rows.SetSQLSelect(rows.GetSQLSelect() + QStringLiteral(" WHERE RprNo = ? ORDER BY PersonNo, SaveTime DESC, hisid DESC"));
    rows.SetTransObject(&host::g().photosqlca);
    const long n = rows.Retrieve({rt::Value(householdKey)});
    m_members = new QTableWidget(tab_1);
    m_members->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_members->verticalHeader()->setVisible(false);
    const rt::DwDefinition &def = rows.definition();
    const QStringList shown{QStringLiteral("PersonNo"), QStringLiteral("Name"), QStringLiteral("SaveTime"),
                            QStringLiteral("issave")};
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
    tab_1->addTab(m_members, n < 0 ? QString::fromUtf8("家庭成员（读取失败）") : QString::fromUtf8("家庭成员（%1 份快照）").arg(n));
}

void w_histimeline::recoverChosen()
{
    const rt::Value hisid = m_main ? m_main->currentHisid() : rt::Value();
    if (hisid.isNull() || !m_dw)
        return;
    // The record window the timeline may have been opened from shows a copy of a grid row that
    // the recovery will move: it closes too, and the recovery runs once both have.
    QPointer<rt::ui::PbWindow> record;
    for (QObject *o = m_dw->parent(); o; o = o->parent()) {
        if (auto *w = qobject_cast<rt::ui::PbWindow *>(o)) {
            if (w->ClassName() == QLatin1String("w_hismodify"))
                record = w;
            break;
        }
    }
    Close();
    if (record)
        record->Close();
    rt::ui::MdiFrame *frame = model::ModuleWindows::w_histmanage();
    rt::ui::PbWindow *sheet = frame ? frame->GetActiveSheet() : nullptr;
    rt::ui::DataWindowControl *grid = nullptr;
    if (sheet)
        rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
    if (!grid)
        return;
    // The snapshot's row in the grid, read from the database as far as needed.
    long found = 0;
    for (long r = 1;; ++r) {
        if (r > grid->RowCount() && (!grid->canRetrieveMore() || grid->RetrieveMore() <= 0))
            break;
        if (grid->GetItem(r, "hisid") == hisid) {
            found = r;
            break;
        }
    }
    if (found == 0) {
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("这条历史记录已不在历史信息中。"));
        return;
    }
    grid->SetRow(found);
    grid->ScrollToRow(found);
    rt::ui::LateBinding::triggerEvent(frame, "ue_recovery");
}

} // namespace hm
