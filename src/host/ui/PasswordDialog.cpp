#include "host/ui/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace host {

PasswordDialog::PasswordDialog(const QString &server, const QString &user, const QString &note, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("w_password"));
    setWindowTitle(QString::fromUtf8("连接服务器"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    if (!note.isEmpty()) {
        auto *problem = new QLabel(note, this);
        problem->setObjectName(QStringLiteral("st_note"));
        problem->setWordWrap(true);
        problem->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
        layout->addWidget(problem);
    }
    auto *prompt = new QLabel(QString::fromUtf8("服务器 %1 上的用户 %2 需要密码：").arg(server, user), this);
    prompt->setObjectName(QStringLiteral("st_prompt"));
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("sle_password"));
    m_field->setEchoMode(QLineEdit::Password);
    // No input method: a password is typed as it is, and no candidate list remembers it.
    m_field->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_field->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
    prompt->setBuddy(m_field);
    layout->addWidget(m_field);
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    m_ok->setObjectName(QStringLiteral("cb_ok"));
    m_cancel->setObjectName(QStringLiteral("cb_cancel"));
    m_ok->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setTabOrder(m_field, m_ok);
    setTabOrder(m_ok, m_cancel);
    m_field->setFocus();
}

PasswordDialog::~PasswordDialog()
{
    m_field->clear();
}

QByteArray PasswordDialog::takePassword()
{
    QString text = m_field->text();
    m_field->clear();
    QByteArray password = text.toUtf8();
    // The copy made here is ours to overwrite (the field's own was its alone, now freed).
    text.fill(QLatin1Char('\0'));
    return password;
}

} // namespace host
