#include "record/w_hiscompare.h"

#include "host/ui/Globals.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/Message.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

w_hiscompare::w_hiscompare(QWidget *parent) : host::w_response(QStringLiteral("w_hiscompare"), parent)
{
    setTitle(QString::fromUtf8("对比当前"));
    fields = new QTableWidget(0, 4, client());
    fields->setHorizontalHeaderLabels(
        {QString::fromUtf8("字段"), QString::fromUtf8("历史记录"), QString::fromUtf8("当前记录"), QString::fromUtf8("差异")});
    fields->verticalHeader()->hide();
    fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fields->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    fields->horizontalHeader()->setStretchLastSection(true);
    st_missing = new QLabel(client());
    auto *close = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    connect(close, &QPushButton::clicked, this, [this]() { Close(); });
    auto *layout = new QVBoxLayout(client());
    layout->addWidget(st_missing);
    layout->addWidget(fields, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    setUnitsSize(2600, 2000);
}

void w_hiscompare::onOpen()
{
    auto *form = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!form || form->RowCount() < 1)
        return;
    m_fields = RecordComparison::compare(form->dataStore(), 1, host::g().sqlca, m_liveFound);
    st_missing->setText(m_liveFound ? QString::fromUtf8("有差异的字段标为“≠”。") : QString::fromUtf8("当前无此记录"));
    fields->setRowCount(int(m_fields.size()));
    for (int r = 0; r < m_fields.size(); ++r) {
        const RecordComparison::Field &f = m_fields[r];
        const QStringList cells{f.caption, f.history, m_liveFound ? f.live : QString(), f.differs ? QString::fromUtf8("≠") : QString()};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (f.differs)
                item->setBackground(QColor(255, 228, 181)); // a warm tint, with the ≠ beside it
            fields->setItem(r, c, item);
        }
    }
}

} // namespace hm
