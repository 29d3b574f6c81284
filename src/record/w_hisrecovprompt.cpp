#include "record/w_hisrecovprompt.h"

#include "platform/core/Functions.h"
#include "host/ui/Globals.h"
#include "model/CategoryTable.h"
#include "model/recovery/RecoveryPlan.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Message.h"
#include "platform/ui/PbPicture.h"
#include "platform/ui/Units.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QScrollArea>

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
    promptArea = new QScrollArea(c);
    promptArea->setObjectName(QStringLiteral("promptArea"));
    promptArea->setFrameShape(QFrame::NoFrame);
    promptArea->setWidgetResizable(true);
    promptArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rt::ui::Controls::place(promptArea, 73, 192, 1646, 736);
    st_prompt = new QLabel;
    st_prompt->setObjectName(QStringLiteral("st_prompt"));
    st_prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    st_prompt->setWordWrap(true);
    rt::ui::Controls::setFont(st_prompt, Song, 9);
    rt::ui::Controls::setColors(st_prompt, 128, 67108864); // dark red, RGB(128, 0, 0)
    promptArea->setWidget(st_prompt);
    promptArea->viewport()->setAutoFillBackground(false);
    st_counts = new QLabel(c);
    st_counts->setObjectName(QStringLiteral("st_counts"));
    st_counts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
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
    arrange();
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
    // The members cancelled with the household, each once: those whose latest snapshot in it is
    // marked 5, as the cascade finds them (a member marked 5 once and saved again since is not).
    QList<model::MemberPlan> members;
    QString error;
    // The names stand under a heading that says who they are; without such members there is
    // neither heading nor list.
    if (model::RecoveryPlan::householdMembers(photosqlca, host::g().sqlca, rprno, members, error)) {
        QString names;
        for (const model::MemberPlan &m : std::as_const(members)) {
            if (m.cancelled)
                names += QString::fromUtf8("\r\n\t姓名：") + m.name;
        }
        if (!names.isEmpty())
            text += QString::fromUtf8("\r\n随户注销的人员：") + names;
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
    QString related;
    bool unread = false;
    for (const auto &[table, label] : RelatedTables) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        const int rc = sqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1 WHERE personno = ?").arg(QString::fromLatin1(table)),
                                        {personno}, n);
        if (rc == 0 && !n[0].isNull() && n[0].longValue() >= 1)
            related += QStringLiteral("\r\n\t") + QString::fromUtf8(label);
        else if (rc != 0 && rc != 100)
            unread = true;
    }
    // An empty list under "相关信息如下：" would read as text gone missing: it says there is none,
    // but only when every table could be read; one that could not is said as such.
    if (unread)
        related += QString::fromUtf8("\r\n\t（部分相关信息无法读取）");
    return text + (related.isEmpty() ? QString::fromUtf8("\r\n\t（无）") : related);
}

// What each answer writes into the live register: the record itself, and with the dependants
// the row each person's cascade moves from each related table, each a new row or a replacement
// of the live record, as the recovery will find them.
void w_hisrecovprompt::countMoves(const QString &key)
{
    rt::Transaction &sqlca = host::g().sqlca;
    rt::Transaction &photosqlca = host::g().photosqlca;
    const bool household = is_parm == QLatin1String("1");
    const model::Category *own = model::CategoryTable::byStem(household ? QStringLiteral("ge_rpr") : QStringLiteral("ge_personinfo"));
    const model::LiveState live = model::RecoveryPlan::liveState(sqlca, *own, key);
    TableMoves principal{own->historyTable};
    (live.present() ? principal.replaced : principal.inserted) = 1;
    m_alone = {principal};
    m_withDependants = {principal};
    QString error = live.error;
    QStringList persons;
    // A household's members by their fate, as the cascade will find them: those who come back
    // and those already live have their related records recovered; the others keep everything.
    QStringList back, alive, kept;
    if (!household) {
        persons << key;
    } else if (error.isEmpty()) {
        QList<model::MemberPlan> members;
        model::RecoveryPlan::householdMembers(photosqlca, sqlca, key, members, error);
        for (const model::MemberPlan &m : std::as_const(members)) {
            const QString who = QStringLiteral("%1（%2）").arg(m.name, m.personno);
            if (m.fate == model::MemberPlan::Kept) {
                kept << who;
                continue;
            }
            (m.fate == model::MemberPlan::Back ? back : alive) << who;
            persons << m.personno;
        }
        if (!back.isEmpty())
            m_withDependants.append({QStringLiteral("th_ge_personinfo"), long(back.size()), 0});
    }
    QList<model::PlannedMove> moves;
    for (const QString &person : persons) {
        if (!error.isEmpty() || !model::RecoveryPlan::relatedMoves(photosqlca, sqlca, person, moves, error))
            break;
    }
    for (const model::Category *category : model::CategoryTable::cascade()) {
        TableMoves t{category->historyTable};
        for (const model::PlannedMove &m : moves) {
            if (m.category == category)
                ++(m.live.present() ? t.replaced : t.inserted);
        }
        if (t.rows() > 0)
            m_withDependants.append(t);
    }
    auto words = [](const QList<TableMoves> &list) {
        QStringList parts;
        for (const TableMoves &t : list) {
            const model::Category *c = model::CategoryTable::byHistoryTable(t.table);
            QString how;
            if (t.replaced == 0)
                how = QString::fromUtf8("新增");
            else if (t.inserted == 0)
                how = QString::fromUtf8("替换现有记录");
            else
                how = QString::fromUtf8("新增 %1 条，替换 %2 条").arg(rt::fn::Grouped(t.inserted), rt::fn::Grouped(t.replaced));
            parts << QString::fromUtf8("%1 %2 条（%3）").arg(c ? c->tabText : t.table, rt::fn::Grouped(t.rows()), how);
        }
        return parts.join(QString::fromUtf8("，"));
    };
    QString text = QString::fromUtf8("恢复后写入现有信息：\n    不勾选：%1\n    勾选：%2").arg(words(m_alone), words(m_withDependants));
    if (household)
        text += QString::fromUtf8("\n    勾选时户中人员：") + model::RecoveryPlan::membersText(back, alive, kept);
    if (!error.isEmpty())
        text = QString::fromUtf8("读取现有信息失败，无法计算恢复后写入的记录：") + error;
    st_counts->setText(text);
}

void w_hisrecovprompt::arrange()
{
    using rt::ui::Controls;
    // Heights in units: a pixel is 4 units down.
    const int width = promptArea->width();
    const int countsUnits = st_counts->heightForWidth(width) * 4 + 8;
    const int promptUnits = st_prompt->heightForWidth(width - 4) * 4 + 8;
    // The window stays within the screen: a longer text scrolls.
    const int screenUnits = screen() ? screen()->availableGeometry().height() * 4 * 9 / 10 : 3200;
    const int design = 736, gap = 16;
    const int cap = std::max(design, screenUnits - 192 - gap - countsUnits - 32 - 96 - 116);
    const int promptHeight
        = promptUnits + gap + countsUnits <= design ? design - gap - countsUnits : std::min(promptUnits, cap);
    Controls::place(promptArea, 73, 192, 1646, promptHeight);
    const int countsY = 192 + promptHeight + gap;
    Controls::place(st_counts, 73, countsY, 1646, countsUnits);
    const int buttonsY = std::max(960, countsY + countsUnits + 32);
    // The pictures keep their bitmaps' own size; only their place changes.
    p_ok->move(rt::ui::Units::toPixels(421, buttonsY, 0, 0).topLeft());
    p_cancel->move(rt::ui::Units::toPixels(1006, buttonsY, 0, 0).topLeft());
    setUnitsSize(1856, buttonsY + 96 + 116);
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

void w_hisrecovprompt::onKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        p_cancel_clicked();
}

} // namespace hm
