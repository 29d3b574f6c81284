#include "ProcedureArgs.h"

namespace rt {

ProcedureArgs::ProcedureArgs(std::initializer_list<std::pair<QString, Value>> args)
{
    for (const auto &a : args)
        set(a.first, a.second);
}

QString ProcedureArgs::normalized(const QString &name)
{
    QString n = name.trimmed().toLower();
    if (n.startsWith(QLatin1Char('@')))
        n.remove(0, 1);
    return n;
}

void ProcedureArgs::set(const QString &name, const Value &value)
{
    const QString n = normalized(name);
    for (auto &a : m_args) {
        if (a.first == n) {
            a.second = value;
            return;
        }
    }
    m_args.append({n, value});
}

bool ProcedureArgs::contains(const QString &name) const
{
    const QString n = normalized(name);
    for (const auto &a : m_args) {
        if (a.first == n)
            return true;
    }
    return false;
}

Value ProcedureArgs::value(const QString &name) const
{
    const QString n = normalized(name);
    for (const auto &a : m_args) {
        if (a.first == n)
            return a.second;
    }
    return Value();
}

} // namespace rt
