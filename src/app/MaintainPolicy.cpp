#include "app/MaintainPolicy.h"

#include <QFile>
#include <QSet>

namespace app {

QString MaintainPolicy::atLine(const QString &path, int line, const QString &chinese, const QString &english)
{
    return QString::fromUtf8("%1 第 %2 行：%3").arg(path).arg(line).arg(chinese) + QLatin1Char('\n')
           + QStringLiteral("%1 line %2: %3").arg(path).arg(line).arg(english);
}

bool MaintainPolicy::load(const QString &path, QString &errorText)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        errorText = QString::fromUtf8("无法读取维护策略文件 %1：%2").arg(path, f.errorString()) + QLatin1Char('\n')
                    + QStringLiteral("cannot read the policy file %1: %2").arg(path, f.errorString());
        return false;
    }
    return parse(QString::fromUtf8(f.readAll()), path, errorText);
}

bool MaintainPolicy::parse(const QString &text, const QString &path, QString &errorText)
{
    m_path = path;
    m_profile.clear();
    m_dataDir.clear();
    m_sections.clear();
    bool inRegister = false;
    Section *section = nullptr;
    QSet<QString> sectionNames, keysOfSection;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 1; n <= lines.size(); ++n) {
        const QString line = lines[n - 1].trimmed();
        auto refuse = [&](const QString &chinese, const QString &english) {
            errorText = atLine(path, n, chinese, english);
            return false;
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3)
                return refuse(QString::fromUtf8("节名要写成 [名称]。"), QStringLiteral("a section is written [name]"));
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty())
                return refuse(QString::fromUtf8("节名要写成 [名称]。"), QStringLiteral("a section is written [name]"));
            const QString key = name.toLower();
            if (sectionNames.contains(key))
                return refuse(QString::fromUtf8("[%1] 已经出现过。").arg(name), QStringLiteral("[%1] is given twice").arg(name));
            sectionNames.insert(key);
            keysOfSection.clear();
            if (key == QLatin1String("register")) {
                inRegister = true;
                section = nullptr;
            } else {
                inRegister = false;
                m_sections.append(Section{name, n});
                section = &m_sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return refuse(QString::fromUtf8("这一行不是“键 = 值”。"), QStringLiteral("the line is no 'key = value'"));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (!inRegister && !section)
            return refuse(QString::fromUtf8("%1 不在任何节中。").arg(key), QStringLiteral("%1 is outside any section").arg(key));
        if (keysOfSection.contains(key))
            return refuse(QString::fromUtf8("%1 已经给过。").arg(key), QStringLiteral("%1 is given twice").arg(key));
        keysOfSection.insert(key);
        if (value.isEmpty())
            return refuse(QString::fromUtf8("%1 没有值。").arg(key), QStringLiteral("%1 has no value").arg(key));
        if (inRegister) {
            if (key == QLatin1String("profile"))
                m_profile = value;
            else if (key == QLatin1String("data"))
                m_dataDir = value;
            else
                return refuse(QString::fromUtf8("[register] 只认 profile 和 data，不认 %1。").arg(key),
                              QStringLiteral("[register] takes profile or data, not %1").arg(key));
            if (!m_profile.isEmpty() && !m_dataDir.isEmpty())
                return refuse(QString::fromUtf8("[register] 只能给 profile 或 data 之一。"),
                              QStringLiteral("[register] takes one of profile and data"));
            continue;
        }
        auto yesNo = [&](bool &out) {
            const QString v = value.toLower();
            if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("1"))
                out = true;
            else if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("0"))
                out = false;
            else
                return refuse(QString::fromUtf8("%1 要写 yes 或 no，而不是“%2”。").arg(key, value),
                              QStringLiteral("%1 is yes or no, not '%2'").arg(key, value));
            return true;
        };
        auto number = [&](int &out) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (!ok || v < 0 || v > 1000000)
                return refuse(QString::fromUtf8("%1 要写一个不小于 0 的整数，而不是“%2”。").arg(key, value),
                              QStringLiteral("%1 is a whole number of at least 0, not '%2'").arg(key, value));
            out = v;
            return true;
        };
        if (key == QLatin1String("keep_years")) {
            if (!number(section->keepYears))
                return false;
            if (section->keepYears > 200)
                return refuse(QString::fromUtf8("keep_years 太大：%1").arg(value), QStringLiteral("keep_years is too large: %1").arg(value));
        } else if (key == QLatin1String("keep_last")) {
            if (!number(section->keepLast))
                return false;
        } else if (key == QLatin1String("dedupe")) {
            if (!yesNo(section->dedupe))
                return false;
        } else if (key == QLatin1String("with_persons")) {
            if (!yesNo(section->withPersons))
                return false;
            section->withPersonsLine = n;
        } else {
            return refuse(QString::fromUtf8("不认识的键 %1（可用 keep_years、keep_last、dedupe、with_persons）。").arg(key),
                          QStringLiteral("unknown key %1 (keep_years, keep_last, dedupe, with_persons)").arg(key));
        }
    }
    return true;
}

} // namespace app
