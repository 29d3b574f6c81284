#pragma once

#include "platform/core/Value.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rt {
class Transaction;
}
namespace model {
struct Category;
}

namespace hm {

// Every state of one record of a category, newest first: the live record (when the register
// has it) and each history snapshot of the same key, with the fields that changed against the
// next newer state. Read-only.
class RecordTimeline
{
public:
    struct State
    {
        bool live = false;          // the live record; otherwise a history snapshot
        rt::Value hisid;            // the snapshot's surrogate key (null for the live record)
        QString saveTime;           // as shown ("" for the live record)
        QString issave;
        QStringList values;         // by field, as shown ("" for null)
        QStringList exact;          // by field, the stored value as text: what is compared
        QList<bool> nulls;          // by field
        QList<bool> changed;        // by field: differs from the next newer state
        QStringList changes;        // the changes in words: "住址：A → B"
        // A snapshot equal to the next older snapshot (every stored column alike but hisid,
        // SaveTime and the record's key, 保存标志 and a number the live table gives included, a
        // null unlike an empty text): exactly what a dedupe of the history removes.
        bool sameAsOlder = false;
        QStringList stored;         // the columns the dedupe compares, null told apart
    };

    QStringList fields;             // the fields' captions, in the grid's order
    QList<State> states;            // newest first
    bool liveFound = false;
    QString error;                  // a read that failed ("" when both reads went well)

    // The record of this key in this category: its snapshots read from history, its live state
    // from live. A failed read leaves error set and what could be read.
    static RecordTimeline load(const model::Category &category, const QString &key, rt::Transaction &live,
                               rt::Transaction &history);
    // Whether any state differs from its newer one in this field.
    bool fieldChanges(int field) const;
    // The words for a null value, and for an empty text (which is not a null).
    static QString nullText();
    static QString emptyText();
    // The words marking a snapshot equal to the one before it.
    static QString sameAsOlderText();

private:
    void compare();
};

} // namespace hm
