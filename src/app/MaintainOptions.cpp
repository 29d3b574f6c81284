#include "app/MaintainOptions.h"

#include <QRegularExpression>

namespace app {

namespace {

QString bilingual(const QString &chinese, const QString &english)
{
    return chinese + QLatin1Char('\n') + english;
}

} // namespace

bool MaintainOptions::isMaintain(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments[1] == QLatin1String("maintain");
}

QDate MaintainOptions::parseDay(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return d.isValid() ? d : QDate();
}

QString MaintainOptions::usage()
{
    return QStringLiteral(
        "Usage: histmaint maintain stats [--json] [REGISTER]\n"
        "       histmaint maintain purge --category NAME [--category NAME ...]\n"
        "                 (--before YYYY-MM-DD | --older-than N{d,m,y}) [--keep-last N] [--with-persons]\n"
        "                 [--dry-run] [--chunk ROWS] [--json] [REGISTER]\n"
        "       histmaint maintain dedupe --category NAME [--category NAME ...] [--dry-run] [--chunk ROWS]\n"
        "                 [--json] [REGISTER]\n"
        "       histmaint maintain policy [--policy FILE] [--dry-run] [--chunk ROWS] [--json] [REGISTER]\n"
        "  REGISTER is --data DIR, --live FILE --history FILE, --pg CONNINFO or --profile NAME, as for\n"
        "  the program (default: the default data folder; a policy's [register] section when given).\n"
        "  No display is needed and nothing is asked: a server wanting a password takes it from the\n"
        "  profile or ~/.pgpass.\n"
        "\n"
        "  stats               per category: history rows, rows per year saved, duplicate snapshots,\n"
        "                      oldest and newest save time; the size of the history\n"
        "  purge               deletes a category's history saved before the date's 00:00:00\n"
        "  dedupe              deletes every snapshot equal to the one before it of the same record\n"
        "                      (keeps the oldest of each run of equal snapshots)\n"
        "  policy              runs what the policy file says (default %1)\n"
        "  --category NAME     the category by its tab text (户籍信息, 个人信息, 老年人信息, ...) or its\n"
        "                      history table (th_ge_personinfo); may be given again\n"
        "  --before YYYY-MM-DD deletes the snapshots saved before that day\n"
        "  --older-than N{d,m,y}  deletes the snapshots older than N days, months or years (from today)\n"
        "  --keep-last N       keeps the N newest snapshots of each record whatever their age\n"
        "  --with-persons      with 户籍信息: the households' persons and their history go with them\n"
        "  --dry-run           counts exactly what the run would delete, and deletes nothing\n"
        "  --chunk ROWS        at most ROWS rows a transaction (default 10000)\n"
        "  --json              the result as JSON on standard output (keys in histmaint(1))\n"
        "  --policy FILE       the policy file of `maintain policy`\n"
        "  Exit status: 0 done, 1 failed (the reason on standard error), 2 wrong usage,\n"
        "  130 interrupted (Ctrl+C or SIGTERM; the chunks done stay done, a new run finishes the work).\n")
        .arg(defaultPolicyPath());
}

bool MaintainOptions::parse(const QStringList &arguments, const QDate &today, QString &errorText)
{
    auto refuse = [&](const QString &chinese, const QString &english) {
        errorText = bilingual(chinese, english);
        return false;
    };
    int i = 0;
    auto value = [&](const QString &option, QString &out) {
        if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))
            return refuse(QString::fromUtf8("%1 需要一个值。").arg(option), QStringLiteral("%1 needs a value").arg(option));
        out = arguments[++i];
        return true;
    };
    auto count = [&](const QString &option, const QString &text, long long least, long long &out) {
        bool ok = false;
        out = text.toLongLong(&ok);
        if (!ok || out < least)
            return refuse(QString::fromUtf8("%1 需要一个不小于 %2 的整数，而不是“%3”。").arg(option).arg(least).arg(text),
                          QStringLiteral("%1 needs a whole number of at least %2, not '%3'").arg(option).arg(least).arg(text));
        return true;
    };
    if (arguments.isEmpty())
        return refuse(QString::fromUtf8("请说明要做什么：stats、purge、dedupe 或 policy。"),
                      QStringLiteral("say what to do: stats, purge, dedupe or policy"));
    const QString &verb = arguments[0];
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) {
        help = true;
        return true;
    }
    if (verb == QLatin1String("stats"))
        action = Action::Stats;
    else if (verb == QLatin1String("purge"))
        action = Action::Purge;
    else if (verb == QLatin1String("dedupe"))
        action = Action::Dedupe;
    else if (verb == QLatin1String("policy"))
        action = Action::Policy;
    else
        return refuse(QString::fromUtf8("不认识的维护命令：%1").arg(verb), QStringLiteral("unknown maintain command: %1").arg(verb));

    QString olderThan, beforeText, chunkText, keepLastText;
    bool chunkGiven = false, keepLastGiven = false, policyGiven = false;
    for (i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else if (a == QLatin1String("--category")) {
            if (!value(a, v))
                return false;
            categories << v;
        } else if (a == QLatin1String("--before")) {
            if (!beforeText.isEmpty())
                return refuse(QString::fromUtf8("--before 只能给一次。"), QStringLiteral("--before is given twice"));
            if (!value(a, beforeText))
                return false;
        } else if (a == QLatin1String("--older-than")) {
            if (!olderThan.isEmpty())
                return refuse(QString::fromUtf8("--older-than 只能给一次。"), QStringLiteral("--older-than is given twice"));
            if (!value(a, olderThan))
                return false;
        } else if (a == QLatin1String("--keep-last")) {
            if (!value(a, keepLastText))
                return false;
            keepLastGiven = true;
        } else if (a == QLatin1String("--with-persons")) {
            withPersons = true;
        } else if (a == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (a == QLatin1String("--chunk")) {
            if (!value(a, chunkText))
                return false;
            chunkGiven = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--policy")) {
            if (!value(a, policyPath))
                return false;
            policyGiven = true;
        } else if (a == QLatin1String("--data")) {
            if (!value(a, dataDir))
                return false;
        } else if (a == QLatin1String("--live")) {
            if (!value(a, livePath))
                return false;
        } else if (a == QLatin1String("--history")) {
            if (!value(a, historyPath))
                return false;
        } else if (a == QLatin1String("--pg")) {
            if (!value(a, pg))
                return false;
        } else if (a == QLatin1String("--profile")) {
            if (!value(a, profile))
                return false;
        } else {
            // Up to its first '=' only: what follows could be a connection string's password.
            const QString shown = a.contains(QLatin1Char('=')) ? a.left(a.indexOf(QLatin1Char('=')) + 1) + QStringLiteral("…") : a;
            return refuse(QString::fromUtf8("不认识的参数：%1").arg(shown), QStringLiteral("unknown argument: %1").arg(shown));
        }
    }
    if (help)
        return true;

    // What each command takes; anything else is a mistake worth stopping for, not ignoring:
    // an administrator who wrote --keep-last on a dedupe expects it to mean something.
    auto notWith = [&](bool given, const QString &option) {
        if (given)
            return refuse(QString::fromUtf8("%1 不能用于 maintain %2。").arg(option, verb),
                          QStringLiteral("%1 does not go with maintain %2").arg(option, verb));
        return true;
    };
    const bool deletes = action == Action::Purge || action == Action::Dedupe;
    if (!notWith(!deletes && !categories.isEmpty(), QStringLiteral("--category"))
        || !notWith(action != Action::Purge && !beforeText.isEmpty(), QStringLiteral("--before"))
        || !notWith(action != Action::Purge && !olderThan.isEmpty(), QStringLiteral("--older-than"))
        || !notWith(action != Action::Purge && keepLastGiven, QStringLiteral("--keep-last"))
        || !notWith(action != Action::Purge && withPersons, QStringLiteral("--with-persons"))
        || !notWith(action == Action::Stats && dryRun, QStringLiteral("--dry-run"))
        || !notWith(action == Action::Stats && chunkGiven, QStringLiteral("--chunk"))
        || !notWith(action != Action::Policy && policyGiven, QStringLiteral("--policy")))
        return false;
    if (deletes && categories.isEmpty())
        return refuse(QString::fromUtf8("请用 --category 说明类别。"), QStringLiteral("name the category with --category"));

    if (action == Action::Purge) {
        if (beforeText.isEmpty() == olderThan.isEmpty())
            return refuse(QString::fromUtf8("请给 --before 或 --older-than 之一。"),
                          QStringLiteral("give one of --before and --older-than"));
        if (!beforeText.isEmpty()) {
            before = parseDay(beforeText);
            if (!before.isValid())
                return refuse(dayFormatHint() + QString::fromUtf8("：%1").arg(beforeText),
                              QStringLiteral("--before needs a day that exists, as YYYY-MM-DD, not '%1'").arg(beforeText));
        } else {
            static const QRegularExpression age(QStringLiteral("^(\\d{1,6})([dmy])$"));
            const QRegularExpressionMatch m = age.match(olderThan);
            if (!m.hasMatch())
                return refuse(QString::fromUtf8("--older-than 需要天数、月数或年数，例如 90d、6m、10y，而不是“%1”。").arg(olderThan),
                              QStringLiteral("--older-than needs days, months or years like 90d, 6m or 10y, not '%1'").arg(olderThan));
            const int n = m.captured(1).toInt();
            const QChar unit = m.captured(2).at(0);
            before = unit == QLatin1Char('d') ? today.addDays(-n) : unit == QLatin1Char('m') ? today.addMonths(-n) : today.addYears(-n);
            if (!before.isValid())
                return refuse(dayFormatHint(), QStringLiteral("--older-than %1 goes back before any day there is").arg(olderThan));
        }
        if (keepLastGiven) {
            long long n = 0;
            if (!count(QStringLiteral("--keep-last"), keepLastText, 1, n))
                return false;
            if (n > 1000000)
                return refuse(QString::fromUtf8("--keep-last 太大：%1").arg(keepLastText), QStringLiteral("--keep-last is too large: %1").arg(keepLastText));
            keepLast = int(n);
            if (withPersons)
                return refuse(QString::fromUtf8("--with-persons 不能与 --keep-last 同用：连同户中人员删除时只按日期删除。"),
                              QStringLiteral("--with-persons cannot go with --keep-last: the persons go by date only"));
        }
    }
    if (chunkGiven) {
        long long n = 0;
        if (!count(QStringLiteral("--chunk"), chunkText, 1, n))
            return false;
        if (n > 100000000)
            return refuse(QString::fromUtf8("--chunk 太大：%1").arg(chunkText), QStringLiteral("--chunk is too large: %1").arg(chunkText));
        chunkRows = long(n);
    }
    if (!policyGiven)
        policyPath = defaultPolicyPath();

    // The register, as the program takes it.
    if (!profile.isEmpty() && !pg.isEmpty())
        return refuse(QString::fromUtf8("--profile 与 --pg 不能同时使用。"),
                      QStringLiteral("--profile and --pg do not go together: the profile names the server"));
    if (onServer() && (!dataDir.isEmpty() || !livePath.isEmpty() || !historyPath.isEmpty()))
        return refuse(QString::fromUtf8("--pg 和 --profile 不能与 --data、--live、--history 同时使用。"),
                      QStringLiteral("--pg and --profile take the place of --data, --live and --history"));
    if (livePath.isEmpty() != historyPath.isEmpty())
        return refuse(QString::fromUtf8("--live 与 --history 要一起给。"), QStringLiteral("--live and --history go together"));
    if (!livePath.isEmpty() && !dataDir.isEmpty())
        return refuse(QString::fromUtf8("请只用 --data，或只用 --live 与 --history。"),
                      QStringLiteral("use either --data or --live with --history, not both"));

    QStringList words{verb};
    for (const QString &c : categories)
        words << QStringLiteral("--category") << c;
    if (action == Action::Purge) {
        words << QStringLiteral("--before") << before.toString(Qt::ISODate);
        if (!olderThan.isEmpty())
            words << QStringLiteral("(--older-than %1)").arg(olderThan);
        if (keepLast > 0)
            words << QStringLiteral("--keep-last") << QString::number(keepLast);
        if (withPersons)
            words << QStringLiteral("--with-persons");
    }
    if (action == Action::Policy)
        words << QStringLiteral("--policy") << policyPath;
    if (deletes || action == Action::Policy)
        words << QStringLiteral("--chunk") << QString::number(chunkRows);
    optionsText = words.join(QLatin1Char(' '));
    return true;
}

} // namespace app
