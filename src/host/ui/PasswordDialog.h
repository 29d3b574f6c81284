#pragma once

#include <QByteArray>
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace host {

// Asks for the password the server wants: "连接服务器", one masked field, 确定 and 取消 (Esc).
// A note above the field says why it asks again when a password was refused.
class PasswordDialog : public QDialog
{
    Q_OBJECT
public:
    PasswordDialog(const QString &server, const QString &user, const QString &note = QString(), QWidget *parent = nullptr);
    ~PasswordDialog() override;

    // The password typed, as UTF-8; the field and the dialog's own copy are emptied (Qt's
    // buffers of the field are freed, which the program cannot overwrite).
    QByteArray takePassword();

    QLineEdit *field() const { return m_field; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QLineEdit *m_field = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace host
