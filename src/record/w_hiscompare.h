#pragma once

#include "host/ui/w_response.h"
#include "record/RecordComparison.h"

class QLabel;
class QTableWidget;

namespace hm {

// 对比当前: the record window's row beside the live record with the same key, one line per field,
// each field that differs marked in colour and with "≠" (so the mark does not rest on colour
// alone), or "当前无此记录" when the register has none. Opened with the form's DataWindow control;
// read-only, it opens nothing else.
class w_hiscompare : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hiscompare(QWidget *parent = nullptr);

    QTableWidget *fields = nullptr;
    QLabel *st_missing = nullptr;
    const QList<RecordComparison::Field> &comparison() const { return m_fields; }
    bool liveFound() const { return m_liveFound; }

protected:
    void onOpen() override;

private:
    QList<RecordComparison::Field> m_fields;
    bool m_liveFound = false;
};

} // namespace hm
