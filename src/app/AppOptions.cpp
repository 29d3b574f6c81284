#include "app/AppOptions.h"

#include "app/MaintainOptions.h"

#include <QDir>
#include <QStandardPaths>

namespace app {

QString AppOptions::defaultDataDirPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(base).filePath(QStringLiteral("histmaint"));
}

QString AppOptions::usage()
{
    return QStringLiteral(
        "Usage: histmaint [--data DIR | --live FILE --history FILE] [--layouts DIR]\n"
        "       histmaint [--data DIR] --screenshot FILE [--category BUTTON [--window NAME]]\n"
        "       histmaint --create-demo DIR [--households N] [--seed S]\n"
        "       histmaint --profile NAME [--screenshot FILE ...]\n"
        "       histmaint --pg CONNINFO [--screenshot FILE ...]\n"
        "       histmaint --create-demo-pg CONNINFO [--households N] [--seed S]\n"
        "       histmaint maintain stats|purge|dedupe|policy ...   (the history's upkeep, below)\n"
        "\n"
        "  --data DIR          the folder holding register.db and history.db\n"
        "                      (default: %1; a demo register is made there on first run)\n"
        "  --live FILE         the live register file (with --history)\n"
        "  --history FILE      the history file (with --live)\n"
        "  --create-demo DIR   make a demo register in DIR and stop\n"
        "  --profile NAME      the register on the PostgreSQL server of the connection profile NAME:\n"
        "                      $XDG_CONFIG_HOME/histmaint/NAME.conf (default ~/.config/histmaint/NAME.conf),\n"
        "                      else /etc/histmaint/NAME.conf; a password comes from ~/.pgpass or is asked for\n"
        "  --pg CONNINFO       the register on a PostgreSQL server (a libpq connection string,\n"
        "                      for example \"host=/run/postgresql dbname=register\")\n"
        "                      (a password written here can be read by other users of the computer:\n"
        "                      use --profile and ~/.pgpass)\n"
        "  --create-demo-pg CONNINFO  make a demo register in that (empty) PostgreSQL database and stop\n"
        "  --households N      households in the demo register (default 400)\n"
        "  --seed S            seed of the demo register (default 1; the same seed gives the same register)\n"
        "  --screenshot FILE   draw the history maintenance window offscreen into a PNG file and stop\n"
        "  --category BUTTON   with --screenshot: click this category button first (p_rprinfo, p_personinfo,\n"
        "                      p_eldinfo, p_children, p_womaninfo, p_oowpersoninfo, p_minlivingprotect)\n"
        "  --window NAME       with --category: open this window on the grid's first row and draw it\n"
        "                      (w_hismodify, w_hiscompare, w_histimeline, w_hisrecovprompt, w_hisreplace,\n"
        "                      w_hisdelprompt, w_hisjournal, w_hisstats, w_filter_his, w_setshow_his, w_datawindow_sort,\n"
        "                      w_print_preview)\n"
        "  --layouts DIR       DataWindow objects (<name>.json) that replace the built-in ones\n"
        "  --help, -h          this text\n")
               .arg(defaultDataDirPath())
           + QLatin1Char('\n') + MaintainOptions::usage();
}

bool AppOptions::parse(const QStringList &arguments, QString &errorText)
{
    auto value = [&](int &i, const QString &option, QString &out) {
        if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
            errorText = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        out = arguments[++i];
        return true;
    };
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            mode = Mode::Help;
        } else if (a == QLatin1String("--data")) {
            if (!value(i, a, dataDir))
                return false;
        } else if (a == QLatin1String("--live")) {
            if (!value(i, a, livePath))
                return false;
        } else if (a == QLatin1String("--history")) {
            if (!value(i, a, historyPath))
                return false;
        } else if (a == QLatin1String("--create-demo")) {
            if (!value(i, a, demoDir))
                return false;
            mode = Mode::CreateDemo;
        } else if (a == QLatin1String("--pg")) {
            if (!value(i, a, pg))
                return false;
        } else if (a == QLatin1String("--profile")) {
            if (!value(i, a, profile))
                return false;
        } else if (a == QLatin1String("--create-demo-pg")) {
            if (!value(i, a, pg))
                return false;
            mode = Mode::CreateDemo;
        } else if (a == QLatin1String("--screenshot")) {
            if (!value(i, a, screenshot))
                return false;
        } else if (a == QLatin1String("--category")) {
            if (!value(i, a, category))
                return false;
        } else if (a == QLatin1String("--window")) {
            if (!value(i, a, window))
                return false;
        } else if (a == QLatin1String("--layouts")) {
            if (!value(i, a, layouts))
                return false;
        } else if (a == QLatin1String("--households")) {
            if (!value(i, a, v))
                return false;
            bool ok = false;
            households = v.toInt(&ok);
            if (!ok || households < 1) {
                errorText = QStringLiteral("--households needs a whole number of at least 1, not '%1'").arg(v);
                return false;
            }
        } else if (a == QLatin1String("--seed")) {
            if (!value(i, a, v))
                return false;
            bool ok = false;
            seed = v.toULongLong(&ok);
            if (!ok) {
                errorText = QStringLiteral("--seed needs a whole number, not '%1'").arg(v);
                return false;
            }
        } else {
            // Only up to its first '=': an argument misspelt or glued to its value may be a
            // connection string, and what follows could be a password.
            errorText = QStringLiteral("unknown argument: %1").arg(a.contains(QLatin1Char('=')) ? a.left(a.indexOf(QLatin1Char('=')) + 1) + QStringLiteral("…") : a);
            return false;
        }
    }
    if (!window.isEmpty() && category.isEmpty()) {
        errorText = QStringLiteral("--window goes with --category");
        return false;
    }
    if (!category.isEmpty() && screenshot.isEmpty()) {
        errorText = QStringLiteral("--category goes with --screenshot");
        return false;
    }
    if (!profile.isEmpty() && !pg.isEmpty()) {
        errorText = QStringLiteral("--profile and --pg (or --create-demo-pg) do not go together: the profile names the server");
        return false;
    }
    if (onServer()) {
        if (!dataDir.isEmpty() || !livePath.isEmpty() || !historyPath.isEmpty() || !demoDir.isEmpty()) {
            errorText = QStringLiteral("--pg and --profile take the place of --data, --live, --history and --create-demo");
            return false;
        }
        return true;
    }
    if (livePath.isEmpty() != historyPath.isEmpty()) {
        errorText = QStringLiteral("--live and --history go together");
        return false;
    }
    if (!livePath.isEmpty() && !dataDir.isEmpty()) {
        errorText = QStringLiteral("use either --data or --live with --history, not both");
        return false;
    }
    if (dataDir.isEmpty() && livePath.isEmpty()) {
        dataDir = defaultDataDirPath();
        defaultDataDir = true;
    }
    if (!dataDir.isEmpty() && livePath.isEmpty()) {
        livePath = QDir(dataDir).filePath(QStringLiteral("register.db"));
        historyPath = QDir(dataDir).filePath(QStringLiteral("history.db"));
    }
    return true;
}

} // namespace app
