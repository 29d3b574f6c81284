#pragma once

#include <QString>

namespace rt {

class DwDefinition;

// The property language of DataWindow objects.
//
// Describe("a.b c.d …"): one answer per name, joined by "\n". Object names compare without
// regard to case; "datawindow" is the whole object, "#n" the n-th column. An unknown object or
// property answers "!", a known property without a value "?".
//
// Modify("obj.prop = value …"): blanks and tabs around '='; values bare or quoted with ' or ",
// with ~ escapes (~' ~" ~~ ~t ~r ~n). Answers "" or an error text; when any assignment fails,
// none of them is made.
class DwProperties
{
public:
    static QString describe(const DwDefinition &definition, const QString &expression);
    static QString modify(DwDefinition &definition, const QString &expression);

    // Removes the ~ escapes of a property value.
    static QString unescape(const QString &value);
};

} // namespace rt
