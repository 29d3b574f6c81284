#pragma once

#include "host/ui/w_response.h"
#include "record/ComparisonTable.h"

class QLabel;
class QPushButton;

namespace hm {

// The replace question: the live register already holds the record of the history row being
// recovered. Opened with the history grid (PowerObjectParm), it shows the grid's current row
// beside the live record, the fields that differ marked, and asks whether the history row is
// to replace it; the present state is kept as a history row. Answers (Message.StringParm): "1"
// 替换, "0" 取消 (Esc too); the title bar answers nothing, which the caller takes as 取消. Above
// the fields it says when the history row was saved, and it opens on the first field that
// differs, however far down. When the live record cannot be read (or is gone meanwhile) it says
// so and only 取消 can be pressed. It reads the live register and changes nothing.
class w_hisreplace : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hisreplace(QWidget *parent = nullptr);

    QLabel *st_question = nullptr;
    QLabel *st_status = nullptr;
    QLabel *st_saved = nullptr; // "历史记录的保存时间：…"
    ComparisonTable *fields = nullptr;
    QPushButton *cb_replace = nullptr, *cb_cancel = nullptr;

    static QString questionText();
    const QList<RecordComparison::Field> &comparison() const { return m_fields; }

    void cb_replace_clicked();
    void cb_cancel_clicked();

protected:
    void onOpen() override;
    void onKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    QList<RecordComparison::Field> m_fields;
};

} // namespace hm
