#pragma once

#include "Value.h"

#include <QList>
#include <QString>
#include <utility>

namespace rt {

// The named arguments of one procedure call ("@s_rprno" = value). Names compare without
// regard to case and with or without their leading '@'.
class ProcedureArgs
{
public:
    ProcedureArgs() = default;
    ProcedureArgs(std::initializer_list<std::pair<QString, Value>> args);

    void set(const QString &name, const Value &value);
    bool contains(const QString &name) const;
    // The argument, or a null string value when it was not passed.
    Value value(const QString &name) const;
    const QList<std::pair<QString, Value>> &all() const { return m_args; }

    static QString normalized(const QString &name);

private:
    QList<std::pair<QString, Value>> m_args;
};

} // namespace rt
