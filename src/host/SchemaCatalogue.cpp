#include "host/SchemaCatalogue.h"

namespace host {

namespace {

ColumnDef col(const char *name, const char *caption, ColumnType type, int size = 0, bool key = false,
              bool identity = false)
{
    return {QString::fromUtf8(name), QString::fromUtf8(caption), type, size, key, identity};
}

ColumnDef chr(const char *name, const char *caption, int size, bool key = false)
{
    return col(name, caption, ColumnType::Char, size, key);
}

ColumnDef orderNo(bool identity)
{
    return col("orderno", "序号", ColumnType::Long, 0, false, identity);
}

ColumnDef personNo()
{
    return chr("personno", "人员编号", 16, true);
}

ColumnDef isSave()
{
    return chr("issave", "保存标志", 1);
}

TableDef table(const char *stem, const char *live, const char *history, const char *caption, const char *key,
               QList<ColumnDef> columns)
{
    TableDef t;
    t.stem = QString::fromUtf8(stem);
    t.liveTable = QString::fromUtf8(live);
    t.historyTable = QString::fromUtf8(history);
    t.caption = QString::fromUtf8(caption);
    t.keyColumn = QString::fromUtf8(key);
    t.liveColumns = std::move(columns);
    return t;
}

QList<TableDef> build()
{
    using T = ColumnType;
    QList<TableDef> out;
    out << table("ge_rpr", "ge_rpr", "th_ge_rpr", "户籍信息", "RprNo",
                 {chr("RprNo", "户号", 14, true), chr("hostname", "户主姓名", 20), chr("rprtype", "户别", 10),
                  chr("address", "住址", 60), chr("community", "所属社区", 30), chr("policestation", "派出所", 30),
                  col("regdate", "立户日期", T::Date), col("membercount", "户内人数", T::Long),
                  chr("telephone", "联系电话", 20), chr("postcode", "邮政编码", 6), isSave()});
    out << table("ge_personinfo", "ge_personinfo", "th_ge_personinfo", "个人信息", "PersonNo",
                 {chr("PersonNo", "人员编号", 16, true), chr("RprNo", "户号", 14), chr("personname", "姓名", 20),
                  chr("sex", "性别", 2), col("birthday", "出生日期", T::Date), chr("idcard", "公民身份号码", 18),
                  chr("relation", "与户主关系", 10), chr("nation", "民族", 10), chr("education", "文化程度", 10),
                  chr("marriage", "婚姻状况", 6), chr("politics", "政治面貌", 10), chr("birthplace", "出生地", 30),
                  isSave()});
    out << table("ge_personotherinfo", "ge_personotherinfo", "th_ge_personotherinfo", "个人其他信息", "personno",
                 {orderNo(false), personNo(), chr("bloodtype", "血型", 4), col("height", "身高(厘米)", T::Number),
                  chr("religion", "宗教信仰", 10), chr("military", "兵役状况", 10), chr("mobile", "手机号码", 20),
                  chr("formername", "曾用名", 20), isSave()});
    out << table("ge_company", "ge_company", "th_ge_company", "个人职业信息", "personno",
                 {orderNo(true), personNo(), chr("company", "工作单位", 40), chr("occupation", "职业", 20),
                  chr("post", "职务", 20), col("startdate", "参加工作日期", T::Date),
                  col("salary", "月工资(元)", T::Decimal, 2), chr("unitphone", "单位电话", 20), isSave()});
    out << table("ge_foreignorregistry", "ge_foreignorregistry", "th_ge_foreignorregistry", "外来人口个人信息",
                 "personno",
                 {orderNo(true), personNo(), chr("permitno", "暂住证号", 20), chr("origin", "户籍所在地", 40),
                  col("arrivedate", "来本地日期", T::Date), col("arrivetime", "到达时间", T::Time),
                  col("permitexpiry", "暂住证有效期至", T::Date), chr("reason", "暂住事由", 20),
                  chr("residence", "暂住地址", 60), col("registertime", "登记时间", T::DateTime), isSave()});
    out << table("sv_mlpfamilyinfo", "sv_mlpfamilyinfo", "th_sv_mlpfamilyinfo", "最低生活保障信息", "personno",
                 {orderNo(true), personNo(), chr("certno", "低保证号", 20), col("familysize", "家庭人口", T::Long),
                  col("monthincome", "家庭月收入(元)", T::Decimal, 2),
                  col("allowance", "月保障金额(元)", T::Decimal, 2), col("approvedate", "批准日期", T::Date),
                  chr("povertyreason", "致贫原因", 30), isSave()});
    out << table("sv_oowpersoninfo", "sv_oowpersoninfo", "th_sv_oowpersoninfo", "失业人员信息", "personno",
                 {orderNo(true), personNo(), col("lostjobdate", "失业日期", T::Date),
                  chr("formerunit", "原工作单位", 40), chr("certno", "失业证号", 20), chr("skill", "技能特长", 20),
                  chr("jobwish", "求职意向", 20), col("benefit", "失业保险金(元)", T::Decimal, 2), isSave()});
    out << table("sv_elderinfo", "sv_elderinfo", "th_sv_elderinfo", "老年人信息", "personno",
                 {orderNo(true), personNo(), chr("health", "健康状况", 10), chr("living", "居住状况", 16),
                  col("pension", "养老金(元)", T::Decimal, 2), chr("pensiontype", "养老保险类型", 20),
                  chr("contact", "紧急联系人", 20), chr("contactphone", "联系电话", 20), isSave()});
    out << table("sv_children", "sv_children", "th_sv_children", "儿童信息", "personno",
                 {orderNo(false), personNo(), chr("school", "就读学校", 40), chr("guardian", "监护人", 20),
                  chr("guardianphone", "监护人电话", 20), col("vaccinedate", "最近接种日期", T::Date),
                  chr("vaccine", "接种疫苗", 20), isSave()});
    out << table("mh_adultwomaninfo", "mh_AdultWomaninfo", "th_mh_AdultWomaninfo", "育龄妇女信息", "personno",
                 {orderNo(true), personNo(), col("marriagedate", "结婚日期", T::Date),
                  col("childcount", "现有子女数", T::Long), chr("contraception", "避孕措施", 20),
                  col("lastcheck", "最近孕检日期", T::Date), chr("servicecertno", "生育服务证号", 20), isSave()});
    return out;
}

} // namespace

const QList<TableDef> &SchemaCatalogue::tables()
{
    static const QList<TableDef> all = build();
    return all;
}

const TableDef *SchemaCatalogue::byStem(const QString &stem)
{
    for (const TableDef &t : tables()) {
        if (t.stem.compare(stem, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

const TableDef *SchemaCatalogue::byTable(const QString &name)
{
    for (const TableDef &t : tables()) {
        if (t.liveTable.compare(name, Qt::CaseInsensitive) == 0 || t.historyTable.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

QList<const TableDef *> SchemaCatalogue::relatedTables()
{
    QList<const TableDef *> out;
    for (const TableDef &t : tables()) {
        if (t.isRelated())
            out << &t;
    }
    return out;
}

} // namespace host
