#pragma once

#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaType>
#include <QObject>
#include <QString>

namespace rt::ui {

// Calls of events and functions by name, through Qt's meta-object system (the callee declares
// them Q_INVOKABLE). An event the target lacks is ignored; a missing function is a run-time error
// that the operator is told of.
class LateBinding
{
public:
    // TriggerEvent: true when the target has the event and it ran.
    template<typename... Args>
    static bool triggerEvent(QObject *target, const char *event, Args... args)
    {
        if (!target || !has(target, event, sizeof...(Args)))
            return false;
        return QMetaObject::invokeMethod(target, event, Qt::DirectConnection,
                                         QGenericArgument(QMetaType::fromType<Args>().name(), &args)...);
    }

    // A function without a result; false (and the operator told) when it is missing.
    template<typename... Args>
    static bool callFunction(QObject *target, const char *function, Args... args)
    {
        if (!target || !has(target, function, sizeof...(Args))) {
            reportMissing(target, function);
            return false;
        }
        return QMetaObject::invokeMethod(target, function, Qt::DirectConnection,
                                         QGenericArgument(QMetaType::fromType<Args>().name(), &args)...);
    }

    // A function with a result; false (and the operator told) when it is missing.
    template<typename R, typename... Args>
    static bool callFunctionR(QObject *target, const char *function, R &result, Args... args)
    {
        if (!target || !has(target, function, sizeof...(Args))) {
            reportMissing(target, function);
            return false;
        }
        return QMetaObject::invokeMethod(target, function, Qt::DirectConnection,
                                         QGenericReturnArgument(QMetaType::fromType<R>().name(), &result),
                                         QGenericArgument(QMetaType::fromType<Args>().name(), &args)...);
    }

    // Whether the target has an invokable method of that name taking that many arguments.
    static bool has(const QObject *target, const char *name, int argumentCount);

private:
    static void reportMissing(const QObject *target, const char *function);
};

} // namespace rt::ui
