#include "LateBinding.h"

#include "OperatorDialogs.h"
#include "PbWindow.h"

namespace rt::ui {

bool LateBinding::has(const QObject *target, const char *name, int argumentCount)
{
    const QMetaObject *meta = target->metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod m = meta->method(i);
        if (m.name() == name && m.parameterCount() == argumentCount && m.methodType() != QMetaMethod::Signal)
            return true;
    }
    return false;
}

void LateBinding::reportMissing(const QObject *target, const char *function)
{
    QString owner = QStringLiteral("(null object)");
    if (const auto *w = qobject_cast<const PbWindow *>(target))
        owner = w->ClassName();
    else if (target)
        owner = target->objectName().isEmpty() ? QString::fromUtf8(target->metaObject()->className()) : target->objectName();
    OperatorDialogs::instance().runtimeError(
        QString::fromUtf8("调用外部对象函数出错：%1 没有函数 %2").arg(owner, QString::fromUtf8(function)));
}

} // namespace rt::ui
