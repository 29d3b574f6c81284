#include "record/w_hisreplace.h"

#include "host/ui/Globals.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/Message.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace hm {

w_hisreplace::w_hisreplace(QWidget *parent) : host::w_response(QStringLiteral("w_hisreplace"), parent)
{
    setTitle(QString::fromUtf8("替换现有记录"));
    setIconName(QStringLiteral("Question!"));
    st_question = new QLabel(questionText(), client());
    st_question->setWordWrap(true);
    st_status = new QLabel(client());
    st_status->setWordWrap(true);
    st_saved = new QLabel(client());
    fields = new ComparisonTable(client());
    cb_replace = new QPushButton(QString::fromUtf8("替换(&R)"), client());
    cb_cancel = new QPushButton(QString::fromUtf8("取消"), client());
    // Nothing is replaced by a stray Enter: 取消 is the default.
    cb_cancel->setDefault(true);
    connect(cb_replace, &QPushButton::clicked, this, &w_hisreplace::cb_replace_clicked);
    connect(cb_cancel, &QPushButton::clicked, this, &w_hisreplace::cb_cancel_clicked);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cb_replace);
    buttons->addWidget(cb_cancel);
    auto *layout = new QVBoxLayout(client());
    layout->addWidget(st_question);
    layout->addWidget(st_saved);
    layout->addWidget(st_status);
    layout->addWidget(fields, 1);
    layout->addLayout(buttons);
    setUnitsSize(3000, 2000);
}

QString w_hisreplace::questionText()
{
    return QString::fromUtf8("现有信息中已有该记录。用这条历史记录替换现有记录吗？替换前的现有记录将另存为一条历史记录。");
}

void w_hisreplace::onOpen()
{
    auto *grid = qobject_cast<rt::ui::DataWindowControl *>(rt::ui::Message::instance().PowerObjectParm.data());
    if (!grid || grid->GetRow() < 1)
        return;
    bool liveFound = false;
    QString readError;
    m_fields = RecordComparison::compare(grid->dataStore(), grid->GetRow(), host::g().sqlca, liveFound, readError);
    st_status->setText(ComparisonTable::statusText(liveFound, readError));
    st_saved->setText(ComparisonTable::savedText(grid->dataStore(), grid->GetRow()));
    fields->fill(m_fields, liveFound);
    fields->scrollToFirstDifference();
    // Nothing to replace when the live record is gone meanwhile or could not be read.
    cb_replace->setEnabled(liveFound);
    if (!liveFound)
        st_question->setText(QString::fromUtf8("无法替换：现有记录已不存在或读取失败。请关闭本窗口后重新恢复。"));
    cb_cancel->setFocus();
    if (const QWidget *anchor = parentWidget() ? parentWidget()->window() : nullptr)
        move(anchor->geometry().center() - rect().center());
}

void w_hisreplace::onKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        cb_cancel_clicked();
}

void w_hisreplace::cb_replace_clicked()
{
    CloseWithReturn(QStringLiteral("1"));
}

void w_hisreplace::cb_cancel_clicked()
{
    CloseWithReturn(QStringLiteral("0"));
}

} // namespace hm
