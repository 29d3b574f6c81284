#pragma once

#include <QDate>
#include <QLineEdit>

namespace rt::ui {

// An edit mask. With the date mask "yyyy-mm-dd" the operator types the digits only; date()
// gives the date, or an invalid one for an impossible date such as 2023-02-30.
class PbEditMask : public QLineEdit
{
    Q_OBJECT
public:
    explicit PbEditMask(QWidget *parent = nullptr);
    void setMask(const QString &mask);
    const QString &mask() const { return m_mask; }
    QString Text() const { return text(); }
    void setText(const QString &text);
    QDate date() const;

private:
    QString m_mask;
};

} // namespace rt::ui
