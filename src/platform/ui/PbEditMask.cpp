#include "PbEditMask.h"

#include "platform/core/DateTime.h"

namespace rt::ui {

PbEditMask::PbEditMask(QWidget *parent) : QLineEdit(parent) {}

void PbEditMask::setMask(const QString &mask)
{
    m_mask = mask;
    if (mask == QLatin1String("yyyy-mm-dd"))
        setInputMask(QStringLiteral("9999-99-99;_"));
    else
        setInputMask(QString());
}

void PbEditMask::setText(const QString &text)
{
    QLineEdit::setText(text);
}

QDate PbEditMask::date() const
{
    const auto d = rt::parseDate(text());
    return d ? *d : QDate();
}

} // namespace rt::ui
