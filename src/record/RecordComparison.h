#pragma once

#include <QList>
#include <QString>

namespace rt {
class DataStore;
class Transaction;
} // namespace rt

namespace hm {

// A history row beside the live record with the same key, field by field. Read-only: it reads
// the live register and changes nothing.
class RecordComparison
{
public:
    struct Field
    {
        QString caption;
        QString history; // the history value as text ("" for null)
        QString live;    // the live value as text ("" for null, or when there is no live record)
        bool differs = false;
    };

    // Compares row `row` of a history DataStore (a dh_… grid or form) with the live record of its
    // category on `live`. liveFound is false when the register has no record of that key (or the
    // category is unknown); readError is set (and liveFound false) when reading the live record
    // failed, so that a failed read is never taken for a missing record. SaveTime and the
    // surrogate key are not compared.
    static QList<Field> compare(const rt::DataStore &history, long row, rt::Transaction &live, bool &liveFound,
                                QString &readError);
};

} // namespace hm
