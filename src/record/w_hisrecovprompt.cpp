#include "record/w_hisrecovprompt.h"

#include "host/ui/Globals.h"
#include "platform/core/Cursor.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Message.h"
#include "platform/ui/PbPicture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>

namespace hm {

namespace {

const QString Song = QString::fromUtf8("宋体");

// The eight related histories in the prompt's order, with their labels.
const std::pair<const char *, const char *> RelatedTables[] = {
    {"th_ge_personotherinfo", "个人其他信息"}, {"th_ge_company", "个人职业信息"},
    {"th_ge_foreignorregistry", "外来人口信息"}, {"th_sv_mlpfamilyinfo", "最低生活保障信息"},
    {"th_sv_oowpersoninfo", "失业人员信息"},   {"th_sv_elderinfo", "老年人信息"},
    {"th_sv_children", "儿童信息"},            {"th_mh_AdultWomaninfo", "育龄妇女信息"}};

// A single text value, or "" when the statement finds nothing or fails.
QString readText(rt::Transaction &t, const QString &sql, const QString &key)
{
    QList<rt::Value> into{rt::Value::null(rt::ValueType::String)};
    if (t.selectInto(sql, {key}, into) != 0 || into[0].isNull())
        return QString();
    return into[0].string();
}

} // namespace

w_hisrecovprompt::w_hisrecovprompt(QWidget *parent) : host::w_response(QStringLiteral("w_hisrecovprompt"), parent)
{
    setTitle(QString::fromUtf8("恢复户籍信息"));
    setIconName(QStringLiteral("AppIcon!"));
    setBackColor(67108864);
    QWidget *c = client();
    gb_1 = new QGroupBox(c);
    gb_1->setObjectName(QStringLiteral("gb_1"));
    rt::ui::Controls::place(gb_1, 55, 16, 1682, 144);
    cbx_1 = new QCheckBox(c);
    cbx_1->setObjectName(QStringLiteral("cbx_1"));
    rt::ui::Controls::setFont(cbx_1, Song, 9);
    rt::ui::Controls::place(cbx_1, 110, 64, 1573, 80);
    st_prompt = new QLabel(c);
    st_prompt->setObjectName(QStringLiteral("st_prompt"));
    st_prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    st_prompt->setWordWrap(true);
    rt::ui::Controls::setFont(st_prompt, Song, 9);
    rt::ui::Controls::setColors(st_prompt, 128, 67108864); // dark red, RGB(128, 0, 0)
    rt::ui::Controls::place(st_prompt, 73, 192, 1646, 736);
    st_counts = new QLabel(c);
    st_counts->setObjectName(QStringLiteral("st_counts"));
    st_counts->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    st_counts->setWordWrap(true);
    rt::ui::Controls::setFont(st_counts, Song, 9);
    rt::ui::Controls::place(st_counts, 73, 760, 1646, 180);
    p_ok = new rt::ui::PbPicture(c);
    p_ok->setObjectName(QStringLiteral("p_ok"));
    rt::ui::Controls::place(p_ok, 421, 960, 279, 96);
    p_ok->setOriginalSize(true);
    p_ok->setPictureName(QStringLiteral("bmp\\cb_ok.bmp"));
    p_cancel = new rt::ui::PbPicture(c);
    p_cancel->setObjectName(QStringLiteral("p_cancel"));
    rt::ui::Controls::place(p_cancel, 1006, 960, 279, 96);
    p_cancel->setOriginalSize(true);
    p_cancel->setPictureName(QStringLiteral("bmp\\cb_cancel.bmp"));
    connect(p_ok, &rt::ui::PbPicture::clicked, this, &w_hisrecovprompt::p_ok_clicked);
    connect(p_cancel, &rt::ui::PbPicture::clicked, this, &w_hisrecovprompt::p_cancel_clicked);
    setUnitsSize(1856, 1172);
}

void w_hisrecovprompt::onOpen()
{
    const QString parm = rt::ui::Message::instance().StringParm;
    is_parm = parm.right(1);
    const QString key = parm.left(std::max<qsizetype>(0, parm.size() - 2));
    if (is_parm == QLatin1String("1")) {
        setTitle(QString::fromUtf8("户籍信息恢复"));
        cbx_1->setText(QString::fromUtf8("连带恢复户中的人员信息"));
        setPrompt(householdText(key));
        countMoves(key);
    } else if (is_parm == QLatin1String("2")) {
        setTitle(QString::fromUtf8("个人信息恢复"));
        cbx_1->setText(QString::fromUtf8("连带恢复个人相关信息"));
        setPrompt(personText(key));
        countMoves(key);
    }
    if (const QWidget *anchor = parentWidget() ? parentWidget()->window() : nullptr)
        move(anchor->geometry().center() - rect().center());
}

QString w_hisrecovprompt::householdText(const QString &rprno) const
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    // The head as the household's latest snapshot names it.
    QString text = QString::fromUtf8("户主姓名：")
                   + readText(photosqlca,
                              QStringLiteral("SELECT hostname FROM th_ge_rpr WHERE RprNo = ? "
                                             "ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                              rprno);
    // Each member once, however many snapshots marked 5 the member has.
    rt::Cursor cur_personnum(photosqlca, QStringLiteral("SELECT min(personname) FROM th_ge_personinfo WHERE RprNo = ? AND "
                                                        "issave = '5' GROUP BY PersonNo ORDER BY min(hisid)"));
    if (cur_personnum.open({rprno}) == 0) {
        QList<rt::Value> row{rt::Value::null(rt::ValueType::String)};
        while (cur_personnum.fetch(row) == 0)
            text += QString::fromUtf8("\r\n\t姓名：") + (row[0].isNull() ? QString() : row[0].string());
        cur_personnum.close();
    }
    return text;
}

QString w_hisrecovprompt::personText(const QString &personno) const
{
    rt::Transaction &sqlca = host::g().sqlca;
    QString text = QString::fromUtf8("姓名：")
                   + readText(sqlca,
                              QStringLiteral("SELECT personname FROM th_ge_personinfo WHERE personno = ? "
                                             "ORDER BY SaveTime DESC, hisid DESC LIMIT 1"),
                              personno)
                   + QString::fromUtf8("\r\n相关信息如下：");
    for (const auto &[table, label] : RelatedTables) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        const int rc = sqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE personno = ?").arg(QString::fromLatin1(table)),
                                        {personno}, n);
        if (rc == 0 && !n[0].isNull() && n[0].longValue() >= 1)
            text += QStringLiteral("\r\n\t") + QString::fromUtf8(label);
    }
    return text;
}

// What each answer moves: the row itself, and with the dependants each person's latest snapshot
// of each related table (all rows saved at that moment), as the cascade selects them.
void w_hisrecovprompt::countMoves(const QString &key)
{
    rt::Transaction &photosqlca = host::g().photosqlca;
    const bool household = is_parm == QLatin1String("1");
    const QString own = household ? QStringLiteral("th_ge_rpr") : QStringLiteral("th_ge_personinfo");
    m_alone = {{own, 1}};
    m_withDependants = {{own, 1}};
    QStringList persons;
    if (household) {
        rt::Cursor cur(photosqlca, QStringLiteral("SELECT DISTINCT personno FROM th_ge_personinfo WHERE rprno = ?"));
        if (cur.open({key}) == 0) {
            QList<rt::Value> row{rt::Value::null(rt::ValueType::String)};
            while (cur.fetch(row) == 0)
                persons << row[0].string();
            cur.close();
        }
    } else {
        persons << key;
    }
    for (const auto &[table, label] : RelatedTables) {
        const QString T = QString::fromLatin1(table);
        long rows = 0;
        for (const QString &person : persons) {
            QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
            if (photosqlca.selectInto(QStringLiteral("select count(*) from %1 where personno = ? and SaveTime = "
                                                     "(select Max(SaveTime) from %1 where personno = ?)")
                                          .arg(T),
                                      {person, person}, n)
                == 0)
                rows += long(n[0].longValue());
        }
        if (rows > 0)
            m_withDependants.append({T, rows});
    }
    auto words = [](const QList<std::pair<QString, long>> &moves) {
        QStringList parts;
        for (const auto &[table, rows] : moves) {
            QString label = table == QLatin1String("th_ge_rpr") ? QString::fromUtf8("户籍信息")
                            : table == QLatin1String("th_ge_personinfo") ? QString::fromUtf8("个人信息") : table;
            for (const auto &[t, l] : RelatedTables) {
                if (table == QLatin1String(t))
                    label = QString::fromUtf8(l);
            }
            parts << QString::fromUtf8("%1 %2 条").arg(label).arg(rows);
        }
        return parts.join(QString::fromUtf8("，"));
    };
    st_counts->setText(QString::fromUtf8("恢复后写入现有信息：\n    不勾选：%1\n    勾选：%2").arg(words(m_alone), words(m_withDependants)));
}

void w_hisrecovprompt::setPrompt(const QString &text)
{
    m_prompt = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\t'), QStringLiteral("    "));
    st_prompt->setText(shown);
}

void w_hisrecovprompt::p_ok_clicked()
{
    CloseWithReturn(cbx_1->isChecked() ? QStringLiteral("2") : QStringLiteral("1"));
}

void w_hisrecovprompt::p_cancel_clicked()
{
    CloseWithReturn(QStringLiteral("0"));
}

} // namespace hm
