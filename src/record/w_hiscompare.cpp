#include "record/w_hiscompare.h"

#include "host/ui/Globals.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/Message.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace hm {

w_hiscompare::w_hiscompare(QWidget *parent) : host::w_response(QStringLiteral("w_hiscompare"), parent)
{
    setTitle(QString::fromUtf8("对比当前"));
    fields = new ComparisonTable(client());
    st_missing = new QLabel(client());
    st_missing->setWordWrap(true);
    st_saved = new QLabel(client());
    auto *close = new QPushButton(QString::fromUtf8("关闭(&C)"), client());
    connect(close, &QPushButton::clicked, this, [this]() { Close(); });
    auto *layout = new QVBoxLayout(client());
    layout->addWidget(st_missing);
    layout->addWidget(st_saved);
    layout->addWidget(fields, 1);
    layout->addWidget(close, 0, Qt::AlignRight);
    setUnitsSize(2600, 2000);
}

void w_hiscompare::onOpen()
{
    auto *form = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!form || form->RowCount() < 1)
        return;
    m_fields = RecordComparison::compare(form->dataStore(), 1, host::g().sqlca, m_liveFound, m_readError);
    st_missing->setText(ComparisonTable::statusText(m_liveFound, m_readError));
    st_saved->setText(ComparisonTable::savedText(form->dataStore(), 1));
    fields->fill(m_fields, m_liveFound);
    fields->scrollToFirstDifference();
}

void w_hiscompare::onKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        Close();
}

} // namespace hm
