#pragma once

#include "platform/core/Value.h"

#include <QString>
#include <functional>
#include <memory>

namespace rt {

class DwDefinition;

// A filter expression over a row: comparisons (= <> != < <= > >=), "like" with % and _,
// and / or / not, parentheses, column names or #n, literals ('text', "text", numbers), and the
// functions isnull(x), date('yyyy-mm-dd'), datetime('…'), upper(x), lower(x), len(x), trim(x).
// A comparison with a null operand is false, as in SQL.
class DwExpression
{
public:
    // Nothing when the text is no expression over these columns; errorText says why.
    static std::unique_ptr<DwExpression> parse(const QString &text, const DwDefinition &definition, QString &errorText);
    virtual ~DwExpression() = default;

    using RowReader = std::function<Value(int column)>;
    virtual Value evaluate(const RowReader &row) const = 0;
    bool matches(const RowReader &row) const;
};

} // namespace rt
