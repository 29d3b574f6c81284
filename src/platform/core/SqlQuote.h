#pragma once

#include "Value.h"

#include <QString>

namespace rt {

// The one place where a value becomes SQL text, for the few statements that are built as
// text rather than bound: single quotes are doubled and the whole is put between quotes, so a
// key such as O'Brien; -- selects exactly that key. Null gives NULL.
QString sqlQuote(const QString &text);
// A value as an SQL literal: numbers plainly, text, dates, times and datetimes quoted in their
// canonical stored form (a datetime with its microseconds, so it compares equal to the stored
// value), null as NULL.
QString sqlLiteral(const Value &value);
// A name (table, column) between double quotes, inner double quotes doubled.
QString sqlIdentifier(const QString &name);

} // namespace rt
