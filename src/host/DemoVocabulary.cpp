#include "host/DemoVocabulary.h"

namespace host {

namespace {

QStringList split(const char *words)
{
    return QString::fromUtf8(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

#define HM_WORDS(fn, text)                                                                                             \
    const QStringList &DemoVocabulary::fn()                                                                            \
    {                                                                                                                  \
        static const QStringList list = split(text);                                                                   \
        return list;                                                                                                   \
    }

HM_WORDS(surnames, "王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗 郑 梁 谢 宋 唐 许 韩 冯 邓 曹 彭 曾 肖 田 董 袁 潘 于 蒋 蔡 余 杜 叶 程 苏 魏 吕 丁 任 沈 姚 卢 姜 崔 钟 谭 陆 汪 范 金 石")
HM_WORDS(maleGiven, "伟 强 磊 军 勇 杰 涛 斌 超 明 刚 平 辉 鹏 华 飞 鑫 波 宇 浩 建国 建华 志强 志明 国庆 海涛 文博 子轩 浩然 宇航 俊杰 家豪 立新 永刚 卫东 振华 晓东 春生 德明 成龙")
HM_WORDS(femaleGiven, "芳 娜 敏 静 丽 艳 娟 霞 秀英 桂英 玉兰 丽华 秀兰 婷 雪 琳 慧 颖 倩 洁 梅 红 萍 玲 燕 晶 欣怡 梓涵 诗涵 雨萱 佳怡 思琪 晓燕 春梅 海燕 淑珍 美玲 凤英 金花 月娥")
HM_WORDS(streets, "中山路 北京东路 汉中路 珠江路 龙蟠中路 太平南路 洪武路 长江路 模范马路 新街口 湖南路 广州路 上海路 进香河路 丹凤街 成贤街 四牌楼 后宰门街 钟灵街 童卫路")
HM_WORDS(communities, "梅园新村社区 新街口社区 玄武门社区 锁金村社区 孝陵卫社区 红山社区 后宰门社区 兰园社区 丹凤街社区 龙江社区")
HM_WORDS(policeStations, "新街口派出所 玄武门派出所 梅园派出所 锁金村派出所 孝陵卫派出所 红山派出所 后宰门派出所 兰园派出所")
HM_WORDS(birthplaces, "江苏南京 江苏苏州 江苏扬州 江苏徐州 安徽合肥 安徽芜湖 山东济南 浙江杭州 河南郑州 湖北武汉 四川成都 江西南昌 湖南长沙 上海 北京")
HM_WORDS(nations, "汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 汉族 回族 满族 蒙古族 壮族 苗族 土家族")
HM_WORDS(companies, "南京市第一医院 江苏省电力公司 南京钢铁集团 南京大学 东南大学 苏宁电器 南京地铁集团 金陵饭店 南京市玄武区人民政府 中国银行南京分行 南京熊猫电子 南京汽车集团 江苏移动南京分公司 南京港务局 玄武区第一中学")
HM_WORDS(occupations, "工程师 教师 医生 护士 会计 公务员 工人 司机 销售员 厨师 技术员 律师 经理 营业员 保安")
HM_WORDS(posts, "职员 科员 主任 副主任 经理 副经理 组长 技术员 科长 总监")
HM_WORDS(schools, "玄武区第一幼儿园 梅园幼儿园 北京东路小学 游府西街小学 长江路小学 锁金新村小学 玄武区第二中学 南京市第九中学 中山路小学 孝陵卫小学")
HM_WORDS(vaccines, "乙肝疫苗 卡介苗 脊灰疫苗 百白破疫苗 麻疹疫苗 乙脑疫苗 流脑疫苗 甲肝疫苗 水痘疫苗")
HM_WORDS(origins, "安徽省合肥市 安徽省六安市 河南省信阳市 山东省临沂市 江西省上饶市 四川省达州市 湖北省黄冈市 湖南省邵阳市 江苏省盐城市 江苏省宿迁市 贵州省遵义市 甘肃省天水市")
HM_WORDS(stayReasons, "务工 经商 求学 投亲靠友 服务 其他")
HM_WORDS(skills, "电工 焊工 驾驶 计算机 烹饪 维修 家政 财会 缝纫 无")
HM_WORDS(jobWishes, "保安 保洁 销售 司机 文员 技术工人 服务员 仓库管理 不限")
HM_WORDS(povertyReasons, "因病致贫 因残致贫 缺乏劳动力 失业 子女就学 其他")
HM_WORDS(religions, "无 无 无 无 无 无 佛教 基督教 伊斯兰教 道教")
HM_WORDS(contraceptions, "宫内节育器 避孕药 避孕套 结扎 无")
HM_WORDS(healthStates, "良好 良好 一般 较差 卧床")
HM_WORDS(livingStates, "与子女同住 与配偶同住 独居 养老机构")
HM_WORDS(pensionTypes, "城镇职工养老保险 城乡居民养老保险 机关事业单位养老 无")

#undef HM_WORDS

} // namespace host
