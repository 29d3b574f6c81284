#include "host/ui/w_setshow_his.h"

#include "host/QueryCondition.h"
#include "platform/dw/DwLibrary.h"
#include "platform/ui/Message.h"
#include "platform/ui/OperatorDialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace host {

namespace {
constexpr int Gap = 9; // units between two columns of a grid
}

w_setshow_his::w_setshow_his(QWidget *parent) : w_response(QStringLiteral("w_setshow_his"), parent)
{
    setTitle(QString::fromUtf8("显示定制"));
    m_model = new QStandardItemModel(0, 3, this);
    m_model->setHorizontalHeaderLabels({QString::fromUtf8("显示"), QString::fromUtf8("列"), QString::fromUtf8("宽度")});
    m_view = new QTableView(client());
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    cb_up = new QPushButton(QString::fromUtf8("上移(&U)"), client());
    cb_down = new QPushButton(QString::fromUtf8("下移(&D)"), client());
    cb_default = new QPushButton(QString::fromUtf8("恢复默认(&R)"), client());
    cb_ok = new QPushButton(QString::fromUtf8("确定"), client());
    cb_cancel = new QPushButton(QString::fromUtf8("取消"), client());
    cb_ok->setDefault(true);
    auto selected = [this]() { return m_view->currentIndex().isValid() ? m_view->currentIndex().row() : -1; };
    connect(cb_up, &QPushButton::clicked, this, [this, selected]() { moveRow(selected(), -1); });
    connect(cb_down, &QPushButton::clicked, this, [this, selected]() { moveRow(selected(), 1); });
    connect(cb_default, &QPushButton::clicked, this, &w_setshow_his::restoreDefaults);
    connect(cb_ok, &QPushButton::clicked, this, [this]() {
        const QString error = apply();
        if (!error.isEmpty())
            rt::ui::MessageBox(QString::fromUtf8("提示"), QString::fromUtf8("显示定制失败：%1").arg(error));
        else
            Close();
    });
    connect(cb_cancel, &QPushButton::clicked, this, [this]() { Close(); });
    auto *side = new QVBoxLayout;
    for (QPushButton *b : {cb_up, cb_down, cb_default})
        side->addWidget(b);
    side->addStretch(1);
    side->addWidget(cb_ok);
    side->addWidget(cb_cancel);
    auto *layout = new QHBoxLayout(client());
    layout->addWidget(m_view, 1);
    layout->addLayout(side);
    setUnitsSize(1900, 1700);
}

void w_setshow_his::onOpen()
{
    m_dw = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!m_dw)
        return;
    setTitle(QString::fromUtf8("显示定制 - %1").arg(m_dw->title()));
    fill(current());
}

QList<w_setshow_his::Entry> w_setshow_his::current() const
{
    QList<Entry> entries;
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    // Columns the object itself hides (the surrogate key) are not the operator's to show.
    const QList<Entry> own = defaults();
    for (const int c : def.displayOrder()) {
        const rt::DwObjectDef &col = def.column(c);
        const bool offered = std::any_of(own.begin(), own.end(), [&](const Entry &e) { return e.name == col.name(); });
        if (offered)
            entries.append({col.name(), col.intProp(QStringLiteral("visible"), 1) != 0, col.intProp(QStringLiteral("width"), 300)});
    }
    return entries;
}

QList<w_setshow_his::Entry> w_setshow_his::defaults() const
{
    QList<Entry> entries;
    if (!m_dw)
        return entries;
    QString error;
    const rt::DwLibrary *library = rt::DwLibrary::defaultLibrary();
    std::optional<rt::DwDefinition> own = library ? library->find(m_dw->DataObject(), error) : std::nullopt;
    const rt::DwDefinition &def = own ? *own : m_dw->dataStore().definition();
    for (const int c : def.displayOrder()) {
        const rt::DwObjectDef &col = def.column(c);
        if (own && col.intProp(QStringLiteral("visible"), 1) == 0)
            continue;
        if (m_dw->dataStore().definition().findColumn(col.name()) < 0)
            continue;
        entries.append({col.name(), true, col.intProp(QStringLiteral("width"), 300)});
    }
    return entries;
}

void w_setshow_his::fill(const QList<Entry> &entries)
{
    m_model->removeRows(0, m_model->rowCount());
    const rt::DwDefinition &def = m_dw->dataStore().definition();
    for (const Entry &e : entries) {
        auto *check = new QStandardItem;
        check->setCheckable(true);
        check->setEditable(false);
        check->setCheckState(e.visible ? Qt::Checked : Qt::Unchecked);
        auto *caption = new QStandardItem(QueryCondition::caption(def, def.findColumn(e.name)));
        caption->setEditable(false);
        caption->setData(e.name, Qt::UserRole);
        auto *width = new QStandardItem;
        width->setData(e.width, Qt::EditRole);
        m_model->appendRow({check, caption, width});
    }
    m_view->resizeColumnsToContents();
}

QString w_setshow_his::columnName(int row) const
{
    return m_model->item(row, 1) ? m_model->item(row, 1)->data(Qt::UserRole).toString() : QString();
}

void w_setshow_his::moveRow(int row, int by)
{
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_model->rowCount())
        return;
    const QList<QStandardItem *> items = m_model->takeRow(row);
    m_model->insertRow(to, items);
    m_view->setCurrentIndex(m_model->index(to, 1));
}

void w_setshow_his::restoreDefaults()
{
    if (m_dw)
        fill(defaults());
}

QString w_setshow_his::apply()
{
    if (!m_dw)
        return QString();
    // Shown columns first, in the list's order, each after the last; hidden ones keep their place
    // behind them so that showing one again puts it where the list has it.
    int x = Gap;
    QStringList assignments;
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < m_model->rowCount(); ++r) {
            const bool visible = m_model->item(r, 0)->checkState() == Qt::Checked;
            if (visible != (pass == 0))
                continue;
            const QString name = columnName(r);
            const int width = std::max(40, m_model->item(r, 2)->data(Qt::EditRole).toInt());
            for (const QString &object : {name, name + QStringLiteral("_t")}) {
                if (object != name && m_dw->Describe(object + QStringLiteral(".x")) == QLatin1String("!"))
                    continue;
                assignments << QStringLiteral("%1.visible=%2 %1.width=%3 %1.x=%4")
                                   .arg(object, visible ? QStringLiteral("1") : QStringLiteral("0"))
                                   .arg(width)
                                   .arg(x);
            }
            x += width + Gap;
        }
    }
    return m_dw->Modify(assignments.join(QLatin1Char(' ')));
}

} // namespace host
