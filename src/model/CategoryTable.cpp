#include "model/CategoryTable.h"

namespace model {

namespace {

Category make(const char *stem, const char *button, const char *label, const char *tab, const char *historyTable,
              const char *cascadeTarget, int order, const char *failure)
{
    Category c;
    c.stem = QString::fromUtf8(stem);
    c.button = QString::fromUtf8(button);
    c.label = QString::fromUtf8(label);
    c.tabText = QString::fromUtf8(tab);
    c.historyGrid = QStringLiteral("dh_") + c.stem;
    c.historyTable = QString::fromUtf8(historyTable);
    c.singleRowTarget = QStringLiteral("tc_") + c.stem;
    c.cascadeTarget = QString::fromUtf8(cascadeTarget);
    c.cascadeOrder = order;
    c.cascadeFailure = QString::fromUtf8(failure);
    return c;
}

} // namespace

const QList<Category> &CategoryTable::all()
{
    static const QList<Category> table{
        make("ge_rpr", "p_rprinfo", "户籍信息", "户籍信息", "th_ge_rpr", "", 0, ""),
        make("ge_personinfo", "p_personinfo", "个人信息", "个人信息", "th_ge_personinfo", "", 0, ""),
        make("ge_personotherinfo", "", "", "个人其他信息", "th_ge_personotherinfo", "d_ge_personotherinfoparm", 1,
             "删除个人其它历史信息失败!"),
        make("ge_company", "", "", "个人职业信息", "th_ge_company", "d_ge_companyparm", 2, "删除个人职业历史信息失败!"),
        make("ge_foreignorregistry", "", "", "外来人口个人信息", "th_ge_foreignorregistry",
             "d_ge_foreignorregistryparm", 3, "删除外来人口历史信息失败!"),
        make("sv_mlpfamilyinfo", "p_minlivingprotect", "低保人员信息", "最低生活保障信息", "th_sv_mlpfamilyinfo",
             "d_sv_mlpfamilyinfoparm", 4, "删除低保户历史信息失败!"),
        make("sv_oowpersoninfo", "p_oowpersoninfo", "失业人员信息", "失业人员信息", "th_sv_oowpersoninfo",
             "d_sv_oowpersoninfoparm", 5, "删除失业人员历史信息失败!"),
        make("sv_elderinfo", "p_eldinfo", "老年人信息", "老年人信息", "th_sv_elderinfo", "d_sv_elderinfoparm", 6,
             "删除老年人历史信息失败!"),
        make("sv_children", "p_children", "儿童信息", "儿童信息", "th_sv_children", "d_sv_childrenparm", 7,
             "删除儿童历史信息失败!"),
        make("mh_adultwomaninfo", "p_womaninfo", "育龄妇女信息", "育龄妇女信息", "th_mh_AdultWomaninfo",
             "d_mh_AdultWomaninfoparm", 8, "删除育龄妇女历史信息失败!"),
    };
    return table;
}

const Category *CategoryTable::byStem(const QString &stem)
{
    for (const Category &c : all()) {
        if (c.stem == stem)
            return &c;
    }
    return nullptr;
}

const Category *CategoryTable::byButton(const QString &button)
{
    if (button.isEmpty())
        return nullptr;
    for (const Category &c : all()) {
        if (c.button.compare(button, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

const Category *CategoryTable::byHistoryGrid(const QString &gridObject)
{
    for (const Category &c : all()) {
        if (c.historyGrid == gridObject)
            return &c;
    }
    return nullptr;
}

const Category *CategoryTable::byHistoryTable(const QString &table)
{
    const QString lowered = table.toLower();
    for (const Category &c : all()) {
        if (c.historyTable.toLower() == lowered)
            return &c;
    }
    return nullptr;
}

QList<const Category *> CategoryTable::cascade()
{
    QList<const Category *> out;
    for (int order = 1; order <= 8; ++order) {
        for (const Category &c : all()) {
            if (c.cascadeOrder == order)
                out.append(&c);
        }
    }
    return out;
}

QList<const Category *> CategoryTable::gridsOfButton(const QString &button)
{
    const Category *c = byButton(button);
    if (!c)
        return {};
    if (c->stem == QLatin1String("ge_personinfo"))
        return {c, byStem(QStringLiteral("ge_personotherinfo")), byStem(QStringLiteral("ge_company")),
                byStem(QStringLiteral("ge_foreignorregistry"))};
    return {c};
}

} // namespace model
