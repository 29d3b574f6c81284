#pragma once

#include "host/ui/w_response.h"

#include <QList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QScrollArea;

namespace rt::ui {
class PbPicture;
}

namespace hm {

// The recovery prompt: opened with "<key>;1" for a household or "<key>;2" for a person, it
// says whom the recovery concerns and which dependent history exists, and asks whether the
// dependants are to be recovered too. Answers (Message.StringParm): "0" cancel, "1" this record
// only, "2" with its dependants; Esc is cancel ("0"); closed with the title bar it answers
// nothing, which the caller takes as cancel. A household's members cancelled with it are listed
// under "随户注销的人员：" (no heading when there are none); a person without related history has
// "（无）" under "相关信息如下：". It reads the database only to compose its text.
class w_hisrecovprompt : public host::w_response
{
    Q_OBJECT
public:
    explicit w_hisrecovprompt(QWidget *parent = nullptr);

    QGroupBox *gb_1 = nullptr;
    QCheckBox *cbx_1 = nullptr;
    QLabel *st_prompt = nullptr;
    rt::ui::PbPicture *p_ok = nullptr, *p_cancel = nullptr;
    QString is_parm;

    // The prompt's text exactly as composed ("\r\n" line breaks, "\t" indents).
    const QString &promptText() const { return m_prompt; }
    // The prompt's text scrolls inside this area when it is too long for the screen.
    QScrollArea *promptArea = nullptr;
    // Under it: how many rows each answer would write into the live register, table by table,
    // new rows and replacements apart, counted with the recovery's own selects.
    QLabel *st_counts = nullptr;
    struct TableMoves
    {
        QString table; // the history table
        long inserted = 0;
        long replaced = 0;
        long rows() const { return inserted + replaced; }
    };
    const QList<TableMoves> &movesAlone() const { return m_alone; }
    const QList<TableMoves> &movesWithDependants() const { return m_withDependants; }

    void p_ok_clicked();
    void p_cancel_clicked();

protected:
    void onOpen() override;
    void onKey(int key, Qt::KeyboardModifiers modifiers) override;

private:
    void setPrompt(const QString &text);
    QString householdText(const QString &rprno) const;
    QString personText(const QString &personno) const;

    void countMoves(const QString &key);
    // Places the prompt's text, the counts and the buttons one under the other, growing the
    // window when they need more than its design height.
    void arrange();
    QString m_prompt;
    QList<TableMoves> m_alone, m_withDependants;
};

} // namespace hm
