#include "FuzzTargets.h"

namespace fuzz {

const std::vector<Target> &targets()
{
    static const std::vector<Target> all{
        {"sql_lexer", sqlLexer},
        {"filter_expression", filterExpression},
        {"property_expression", propertyExpression},
        {"definition_json", definitionJson},
        {"query_condition", queryCondition},
        {"dates_and_numbers", datesAndNumbers},
    };
    return all;
}

} // namespace fuzz
