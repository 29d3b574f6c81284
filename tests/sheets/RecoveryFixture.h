#pragma once

#include "ModuleFixture.h"

#include "record/w_hisrecovprompt.h"
#include "record/w_hisreplace.h"

// A register made for recovery, row by row, so that every expectation can be stated exactly:
//  household R'1 (cancelled: no live row) with two snapshots, and its persons
//    P1 张大三 (two snapshots, issave 5; no live row): company (identity orderno) and two elderly snapshots
//    P2 李四 (issave 5; no live row): migrant registration and children (ordinary orderno, issave 3)
//    P3 王五 (issave 1; live row): other personal information
//  household R2 (live) with P6 赵六 (latest snapshot issave 6, no live row) and P7 钱七 (latest 1,
//    older 6, no live row), each with an elderly record, and P8 孙八 with no related history.
class RecoveryFixture : public ModuleFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    long count(rt::Transaction &t, const QString &sql, const QList<Value> &params = {});
    long live(const QString &sql, const QList<Value> &params = {}) { return count(host::g().sqlca, sql, params); }
    long history(const QString &sql, const QList<Value> &params = {}) { return count(host::g().photosqlca, sql, params); }
    // One value of the live register as text ("<null>" for null, "<none>" without a row).
    QString liveValue(const QString &sql, const QList<Value> &params = {});

    // Opens the grid of a category and makes the row with that key current.
    rt::ui::DataWindowControl *gridAt(const char *button, const char *keyColumn, const QString &key, int tab = 1);
    rt::ui::DataWindowControl *gridAtHisid(const char *button, const QString &table, const QString &where, int tab = 1);
    // Runs ue_recovery; the prompt (if one opens) is answered: "0", "1", "2" or "" (title bar);
    // then the replace question (if one opens): "1" 替换, "0" 取消, "" title bar. The prompt's
    // text is returned; replaceQuestions counts the replace questions of this call.
    QString recover(const QString &answer, const std::function<void(hm::w_hisrecovprompt *)> &look = {},
                    const QString &replace = QStringLiteral("1"));
    int replaceQuestions = 0;
    QList<hm::RecordComparison::Field> replaceComparison; // what the last replace question showed
    QStringList texts() const;
};
