#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace app {

// The policy of the unattended upkeep, /etc/histmaint/maintain.conf: what `histmaint maintain
// policy` (and so the timer's service) does. An INI-like file:
//
//   [register]            the register: profile = NAME (a connection profile) or data = DIR
//   [个人信息]            one section per category, by its tab text or its history table:
//   dedupe = yes          delete the snapshots equal to the one before them (first)
//   keep_years = 10       delete the snapshots saved more than N years before today
//   keep_last = 3         ... but keep the N newest of each record (alone: all but the N newest)
//   with_persons = yes    户籍信息 only: the households' persons go with them
//
// Blank lines and lines starting with '#' or ';' are comments; white space around keys and
// values is trimmed. A section or key given twice, an unknown key, a key outside a section, a
// value that is not a whole number or yes/no is refused with the file and the line (Chinese,
// then English). A section with none of dedupe, keep_years and keep_last does nothing: the
// file deletes nothing until an administrator writes such a line. Whether a section names a
// category is for the caller to say (the names are the register's), with the section's line.
class MaintainPolicy
{
public:
    struct Section
    {
        QString name;       // as written in the brackets
        int line = 0;       // of the [name] line
        int keepYears = 0;  // 0: no age limit
        int keepLast = 0;   // 0: none kept by count
        bool dedupe = false;
        bool withPersons = false;
        int withPersonsLine = 0; // of a with_persons line; 0 when none

        bool purges() const { return keepYears > 0 || keepLast > 0; }
        // The day a purge deletes before: today less keep_years, or with keep_last alone the day
        // after today (every snapshot saved so far but the kept ones).
        QDate purgeBefore(const QDate &today) const { return keepYears > 0 ? today.addYears(-keepYears) : today.addDays(1); }
    };

    // False with errorText when the file cannot be read or is refused.
    bool load(const QString &path, QString &errorText);
    bool parse(const QString &text, const QString &path, QString &errorText);

    const QString &path() const { return m_path; }
    const QString &profile() const { return m_profile; }
    const QString &dataDir() const { return m_dataDir; }
    const QList<Section> &sections() const { return m_sections; }
    // "FILE 第 N 行：…" then "FILE line N: …", as every refusal of the file is told.
    static QString atLine(const QString &path, int line, const QString &chinese, const QString &english);

private:
    QString m_path;
    QString m_profile;
    QString m_dataDir;
    QList<Section> m_sections;
};

} // namespace app
