#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace app {

// The command line of `histmaint maintain …`, the unattended upkeep of the history: what to do
// (stats, purge, dedupe, or what a policy file says) and on which register (the program's own
// register options). parse() takes the words after "maintain" and fills the options, or returns
// false with the reason (a Chinese line, then its English) for a wrong command line, which the
// caller answers with exit status 2 and the usage. Nothing here touches a register or a display.
struct MaintainOptions
{
    enum class Action { None, Stats, Purge, Dedupe, Policy };

    static constexpr long defaultChunkRows = 10000;
    static QString defaultPolicyPath() { return QStringLiteral("/etc/histmaint/maintain.conf"); }

    Action action = Action::None;
    bool help = false;
    QStringList categories; // --category, as the operator names them (tab text or history table)
    QDate before;           // --before, or --older-than counted back from the day given to parse()
    int keepLast = 0;       // --keep-last
    bool withPersons = false;
    bool dryRun = false;
    long chunkRows = defaultChunkRows;
    bool json = false;
    QString policyPath;     // --policy (policy only); defaultPolicyPath() when not given
    // The register, as the program takes it; all empty when none was given.
    QString dataDir, livePath, historyPath, pg, profile;
    // The options that shape the deletion, as words for the journal's detail.
    QString optionsText;

    // True when the command line asks for the maintain mode (its first argument after the program).
    static bool isMaintain(const QStringList &arguments);
    // arguments: the words after "maintain". today: the local date --older-than counts back from.
    bool parse(const QStringList &arguments, const QDate &today, QString &errorText);
    bool registerGiven() const
    {
        return !dataDir.isEmpty() || !livePath.isEmpty() || !pg.isEmpty() || !profile.isEmpty();
    }
    bool onServer() const { return !pg.isEmpty() || !profile.isEmpty(); }

    static QString usage();
    // "YYYY-MM-DD" of a day that exists; invalid otherwise.
    static QDate parseDay(const QString &text);
    // The Chinese request for such a date, as the operator reads it everywhere in the program.
    static QString dayFormatHint() { return QString::fromUtf8("请按“年-月-日”输入一个存在的日期"); }
};

} // namespace app
