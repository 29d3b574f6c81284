#include "host/ui/w_datawindow_sort.h"

#include "host/QueryCondition.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace host {

w_datawindow_sort::w_datawindow_sort(QWidget *parent) : w_response(QStringLiteral("w_datawindow_sort"), parent)
{
    setTitle(QString::fromUtf8("排序"));
    keys = new QTableWidget(0, 2, client());
    keys->setHorizontalHeaderLabels({QString::fromUtf8("排序列"), QString::fromUtf8("顺序")});
    keys->verticalHeader()->hide();
    keys->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    keys->setSelectionBehavior(QAbstractItemView::SelectRows);
    cb_add = new QPushButton(QString::fromUtf8("添加(&A)"), client());
    cb_remove = new QPushButton(QString::fromUtf8("删除(&D)"), client());
    cb_clear = new QPushButton(QString::fromUtf8("清除(&C)"), client());
    cb_ok = new QPushButton(QString::fromUtf8("确定"), client());
    cb_cancel = new QPushButton(QString::fromUtf8("取消"), client());
    cb_ok->setDefault(true);
    connect(cb_add, &QPushButton::clicked, this, [this]() { addKey(); });
    connect(cb_remove, &QPushButton::clicked, this, [this]() { removeKey(keys->currentRow()); });
    connect(cb_clear, &QPushButton::clicked, this, [this]() { keys->setRowCount(0); });
    connect(cb_ok, &QPushButton::clicked, this, [this]() {
        if (apply() == 1)
            Close();
    });
    connect(cb_cancel, &QPushButton::clicked, this, [this]() { Close(); });
    auto *side = new QVBoxLayout;
    for (QPushButton *b : {cb_add, cb_remove, cb_clear})
        side->addWidget(b);
    side->addStretch(1);
    side->addWidget(cb_ok);
    side->addWidget(cb_cancel);
    auto *layout = new QHBoxLayout(client());
    layout->addWidget(keys, 1);
    layout->addLayout(side);
    setUnitsSize(1800, 1200);
}

void w_datawindow_sort::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!m_dw)
        return;
    setTitle(QString::fromUtf8("排序 - %1").arg(m_dw->title()));
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    for (const int c : def.displayOrder()) {
        if (def.column(c).intProp(QStringLiteral("visible"), 1) != 0)
            m_columns << c;
    }
    // The present sort, key by key. A key on a column hidden in 显示定制 is still a key: it is
    // offered (marked hidden) and kept, not dropped on 确定.
    QList<std::pair<int, bool>> present;
    for (const QString &key : m_dw->dataStore().GetSort().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = key.simplified().split(QLatin1Char(' '));
        const int column = def.findColumn(parts.value(0));
        if (column < 0)
            continue;
        if (!m_columns.contains(column)) {
            m_columns << column;
            m_hidden << column;
        }
        present.append({column, parts.value(1).compare(QLatin1String("D"), Qt::CaseInsensitive) != 0});
    }
    for (const auto &[column, ascending] : present)
        addKey(column, ascending);
    if (keyCount() == 0)
        addKey();
}

QComboBox *w_datawindow_sort::columnBox(int row) const
{
    return qobject_cast<QComboBox *>(keys->cellWidget(row, 0));
}

QComboBox *w_datawindow_sort::directionBox(int row) const
{
    return qobject_cast<QComboBox *>(keys->cellWidget(row, 1));
}

void w_datawindow_sort::addKey(int column, bool ascending)
{
    if (!m_dw)
        return;
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    const int row = keys->rowCount();
    keys->insertRow(row);
    auto *columnChoice = new QComboBox;
    for (const int c : m_columns)
        columnChoice->addItem(QueryCondition::caption(def, c) + (m_hidden.contains(c) ? QString::fromUtf8("（已隐藏）") : QString()), c);
    columnChoice->setCurrentIndex(int(m_columns.indexOf(column)));
    auto *direction = new QComboBox;
    direction->addItems({QString::fromUtf8("升序"), QString::fromUtf8("降序")});
    direction->setCurrentIndex(ascending ? 0 : 1);
    keys->setCellWidget(row, 0, columnChoice);
    keys->setCellWidget(row, 1, direction);
    keys->setCurrentCell(row, 0);
}

void w_datawindow_sort::removeKey(int row)
{
    if (row >= 0 && row < keys->rowCount())
        keys->removeRow(row);
}

int w_datawindow_sort::keyCount() const
{
    return keys->rowCount();
}

QString w_datawindow_sort::format() const
{
    if (!m_dw)
        return QString();
    QStringList parts;
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    for (int r = 0; r < keys->rowCount(); ++r) {
        const QComboBox *c = columnBox(r);
        if (!c || c->currentIndex() < 0)
            continue;
        parts << QStringLiteral("%1 %2").arg(def.column(c->currentData().toInt()).name(),
                                            directionBox(r)->currentIndex() == 1 ? QStringLiteral("D") : QStringLiteral("A"));
    }
    return parts.join(QStringLiteral(", "));
}

int w_datawindow_sort::apply()
{
    if (!m_dw)
        return -1;
    if (m_dw->SetSort(format()) != 1 || m_dw->Sort() != 1) {
        rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("排序失败：%1").arg(m_dw->dataStore().lastError()));
        return -1;
    }
    return 1;
}

} // namespace host
