#pragma once

#include "host/ui/w_response.h"
#include "record/ComparisonTable.h"

class QLabel;

namespace hm {

// 对比当前: the record window's row beside the live record with the same key, one line per field,
// each field that differs marked in colour and with "≠" (so the mark does not rest on colour
// alone), or "当前无此记录" when the register has none, or that reading the live record failed
// and why; above the fields, when the row was saved. It opens on the first field that differs.
// Opened with the form's DataWindow control; read-only, it opens nothing else. Esc closes it,
// as 关闭 does.
class w_hiscompare : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hiscompare(QWidget *parent = nullptr);

    ComparisonTable *fields = nullptr;
    QLabel *st_missing = nullptr;
    QLabel *st_saved = nullptr; // "历史记录的保存时间：…"
    const QList<RecordComparison::Field> &comparison() const { return m_fields; }
    bool liveFound() const { return m_liveFound; }
    // Set when reading the live record failed (and then liveFound is false).
    const QString &readError() const { return m_readError; }

protected:
    void onOpen() override;
    void onKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    QList<RecordComparison::Field> m_fields;
    bool m_liveFound = false;
    QString m_readError;
};

} // namespace hm
