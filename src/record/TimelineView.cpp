#include "record/TimelineView.h"

#include "platform/core/Functions.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

namespace {
constexpr int FixedColumns = 3; // 状态, 保存时间, 保存标志

} // namespace

TimelineView::TimelineView(QWidget *parent) : QWidget(parent)
{
    st_status = new QLabel(this);
    st_status->setWordWrap(true);
    table = new QTableWidget(this);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    cbx_all = new QCheckBox(QString::fromUtf8("显示全部项（包括从未变化的项）"), this);
    changes = new QPlainTextEdit(this);
    changes->setReadOnly(true);
    changes->setMaximumHeight(120);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(st_status);
    layout->addWidget(table, 1);
    layout->addWidget(cbx_all);
    layout->addWidget(changes);
    connect(cbx_all, &QCheckBox::toggled, this, &TimelineView::fold);
    connect(table, &QTableWidget::itemSelectionChanged, this, [this]() {
        showChanges();
        Q_EMIT currentStateChanged(currentState());
    });
}

void TimelineView::setTimeline(const RecordTimeline &timeline)
{
    m_timeline = timeline;
    const RecordTimeline &t = m_timeline;
    const QSignalBlocker quiet(table);
    table->clear();
    table->setRowCount(int(t.states.size()));
    table->setColumnCount(FixedColumns + int(t.fields.size()));
    QStringList headers{QString::fromUtf8("状态"), QString::fromUtf8("保存时间"), QString::fromUtf8("保存标志")};
    headers << t.fields;
    table->setHorizontalHeaderLabels(headers);
    const QColor tint(0xFF, 0xE0, 0x99);
    for (int r = 0; r < t.states.size(); ++r) {
        const RecordTimeline::State &s = t.states[r];
        const int changed = int(std::count(s.changed.begin(), s.changed.end(), true));
        QString state = s.live ? QString::fromUtf8("现有记录")
                               : (r == 0 ? QString::fromUtf8("最新的快照")
                                         : QString::fromUtf8("快照（%1 项不同）").arg(rt::fn::Grouped(changed)));
        if (s.sameAsOlder)
            state += QString::fromUtf8("，") + RecordTimeline::sameAsOlderText();
        table->setItem(r, 0, new QTableWidgetItem(state));
        table->setItem(r, 1, new QTableWidgetItem(s.saveTime));
        table->setItem(r, 2, new QTableWidgetItem(s.issave));
        for (int f = 0; f < t.fields.size(); ++f) {
            const bool differs = f < s.changed.size() && s.changed[f];
            // A null and an empty text are told apart in the table too.
            const QString shown = s.nulls[f] ? RecordTimeline::nullText()
                                             : (s.values[f].isEmpty() ? RecordTimeline::emptyText() : s.values[f]);
            auto *item = new QTableWidgetItem((differs ? QString::fromUtf8("≠ ") : QString()) + shown);
            if (differs)
                item->setBackground(tint);
            if (s.nulls[f])
                item->setForeground(QColor(0x80, 0x80, 0x80));
            item->setToolTip(shown);
            table->setItem(r, FixedColumns + f, item);
        }
    }
    QString status;
    if (!t.error.isEmpty())
        status = QString::fromUtf8("读取失败：%1").arg(t.error);
    else if (!t.liveFound)
        status = QString::fromUtf8("现有信息中无此记录。");
    status += QString::fromUtf8("%1共 %2 份历史快照，新的在上；与上一行（较新的状态）不同的项标有“≠”。")
                  .arg(status.isEmpty() ? QString() : QStringLiteral(" "))
                  .arg(rt::fn::Grouped(t.states.size() - (t.liveFound ? 1 : 0)));
    st_status->setText(status);
    fold();
    table->resizeColumnsToContents();
    if (!t.states.isEmpty())
        table->selectRow(0);
    showChanges();
}

bool TimelineView::isFieldShown(int field) const
{
    return !table->isColumnHidden(FixedColumns + field);
}

void TimelineView::fold()
{
    // One state alone has nothing to compare with, and states that never differ have nothing to
    // fold to: every field is shown then.
    bool anyChange = false;
    for (int f = 0; f < m_timeline.fields.size() && !anyChange; ++f)
        anyChange = m_timeline.fieldChanges(f);
    const bool all = cbx_all->isChecked() || !anyChange;
    for (int f = 0; f < m_timeline.fields.size(); ++f)
        table->setColumnHidden(FixedColumns + f, !all && !m_timeline.fieldChanges(f));
}

int TimelineView::currentState() const
{
    const QList<QTableWidgetItem *> chosen = table->selectedItems();
    return chosen.isEmpty() ? -1 : chosen.first()->row();
}

void TimelineView::setCurrentState(int state)
{
    if (state >= 0 && state < table->rowCount())
        table->selectRow(state);
}

rt::Value TimelineView::currentHisid() const
{
    const int s = currentState();
    return s < 0 ? rt::Value() : m_timeline.states[s].hisid;
}

void TimelineView::showChanges()
{
    const int s = currentState();
    if (s < 0) {
        changes->clear();
        return;
    }
    const RecordTimeline::State &state = m_timeline.states[s];
    if (s == 0)
        changes->setPlainText(state.live ? QString::fromUtf8("现有记录（最新的状态）。")
                                         : QString::fromUtf8("最新的快照；现有信息中无此记录。"));
    else if (state.changes.isEmpty())
        changes->setPlainText(QString::fromUtf8("与较新的状态相比没有变化。"));
    else
        changes->setPlainText(QString::fromUtf8("到较新的状态时的变化：\n") + state.changes.join(QLatin1Char('\n')));
}

} // namespace hm
