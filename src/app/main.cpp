#include "app/AppOptions.h"
#include "app/CommandLinePasswords.h"
#include "app/MaintainCommand.h"
#include "app/MaintainOptions.h"
#include "app/QtTranslations.h"
#include "app/StartupTexts.h"
#include "host/ConnectionProfile.h"
#include "host/DemoRegister.h"
#include "host/HostDwLibrary.h"
#include "host/LinkSecurity.h"
#include "host/RegisterDatabases.h"
#include "host/ui/BusyWindow.h"
#include "host/ui/Globals.h"
#include "host/ui/HostWindows.h"
#include "host/ui/ServerLogin.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "platform/dw/DwLibrary.h"
#include "platform/core/PgConninfo.h"
#include "platform/core/Transaction.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/QtOperatorDialogs.h"
#include "platform/ui/Windows.h"
#include "shell/HistoryModule.h"
#include "shell/w_histmanage.h"
#include "toolbar/w_hisstats.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>

#include <sys/prctl.h>

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

int createDemo(const QString &dir, const app::AppOptions &options)
{
    const bool server = !options.pg.isEmpty();
    host::DemoOptions demo;
    demo.households = options.households;
    demo.seed = options.seed;
    host::DemoSummary summary;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if ((server ? host::DemoRegister::createServer(options.pg, demo, summary, error)
                : host::DemoRegister::create(dir, demo, summary, error))
        != 0) {
        err() << "histmaint: cannot create the demo register: " << error << Qt::endl;
        return 1;
    }
    out() << "Created a demo register of " << options.households << " households (seed " << options.seed << ") in "
          << timer.elapsed() / 1000.0 << " s.\n"
          << summary.describe() << Qt::flush;
    return 0;
}

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Tells the operator of a failure: on the terminal, and in a box when there is a screen.
int fail(const QString &text, bool gui)
{
    err() << "histmaint: " << text << Qt::endl;
    if (gui && qApp)
        QMessageBox::critical(nullptr, QString::fromUtf8("历史信息维护"), text);
    return 2;
}

// Opens a window of the module or the host over the grid in view and draws it into the file as
// soon as it shows (response windows run modally, so the picture is taken from inside).
bool shootWindow(hm::w_histmanage *module, const QString &name, const QString &file, QString &error)
{
    rt::ui::PbWindow *sheet = module->GetActiveSheet();
    rt::ui::DataWindowControl *grid = nullptr;
    if (sheet)
        rt::ui::LateBinding::callFunctionR(sheet, "wf_getcurrentdw", grid);
    if (!grid || grid->RowCount() < 1) {
        error = QStringLiteral("the category shows no row to open %1 on").arg(name);
        return false;
    }
    grid->SetRow(1);
    bool saved = false;
    // Looked for every tenth of a second once it has had time to lay itself out; a window that
    // reads its figures aside (历史统计) is drawn once they are in, for at most a minute.
    QTimer look;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&look, &QTimer::timeout, module, [&]() {
        if (waited.elapsed() < 300)
            return;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<rt::ui::PbWindow *>(w);
            if (window && window->isVisible() && window->ClassName() == name) {
                auto *stats = qobject_cast<hm::w_hisstats *>(window);
                if (stats && stats->working() && waited.elapsed() < 60000)
                    return;
                look.stop();
                saved = window->grab().save(file, "PNG");
                window->Close();
                return;
            }
        }
    });
    look.start(100);
    hm::HistoryModule::openOnGrid(name, grid);
    look.stop();
    if (!saved)
        error = QStringLiteral("cannot draw %1 into %2").arg(name, file);
    return saved;
}

// The server's connection string, its password (a profile only its owner reads may hold one)
// and statement timeout, from --profile or --pg; false with errorText.
bool serverSettings(const app::AppOptions &options, QString &conninfo, QByteArray &password, int &timeoutMs,
                    QString &errorText)
{
    if (options.profile.isEmpty()) {
        conninfo = options.pg;
        timeoutMs = host::ConnectionProfile::defaultStatementTimeoutSeconds * 1000;
        return true;
    }
    host::ConnectionProfile profile;
    if (!profile.load(options.profile, errorText))
        return false;
    conninfo = profile.conninfo();
    password = profile.password();
    timeoutMs = profile.statementTimeoutMs();
    return true;
}

// How safe the way to the server is: said at the status line's end for as long as the window
// is open, and explained (the text returned) at the first connection of the day.
QString tellLinkSecurity(hm::w_histmanage *module, const QString &conninfo, bool gui)
{
    host::LinkSecurity::Facts facts;
    QString error;
    if (!host::LinkSecurity::examine(host::g().sqlca, conninfo, facts, error)) {
        err() << "histmaint: " << QString::fromUtf8("无法判断与服务器的连接是否安全。") << "\ncannot tell how safe the connection to the server is: "
              << error << Qt::endl;
        return {};
    }
    const host::LinkSecurity::Level level = host::LinkSecurity::classify(facts);
    module->wf_setlinkstatus(host::LinkSecurity::statusText(level));
    const QString warning = host::LinkSecurity::warningText(level);
    // A picture drawn offscreen shows no box, and leaves the day's box to the operator.
    if (!gui || warning.isEmpty() || !host::LinkSecurity::firstTimeToday(host::LinkSecurity::defaultStateFile(), QDate::currentDate()))
        return {};
    return warning;
}

int runGui(const app::AppOptions &options, bool passwordOnCommandLine)
{
    const bool shot = !options.screenshot.isEmpty();
    const bool gui = !shot;
    if (passwordOnCommandLine && shot)
        err() << "histmaint: " << app::CommandLinePasswords::warning() << Qt::endl;
    // First run: a demo register in the default data directory, and the operator is told.
    const bool server = options.onServer();
    const bool liveExists = server || QFileInfo::exists(options.livePath);
    const bool historyExists = server || QFileInfo::exists(options.historyPath);
    QString firstRun;
    if (!liveExists && !historyExists && !options.defaultDataDir) {
        // A folder that is not there is a wrong path, not a register still to be made.
        const QString folder = options.dataDir.isEmpty() ? QFileInfo(options.livePath).absolutePath() : options.dataDir;
        if (!QFileInfo(folder).isDir())
            return fail(app::StartupTexts::missingFolder(folder), gui);
        return fail(options.dataDir.isEmpty() ? app::StartupTexts::missingFile(options.livePath)
                                              : app::StartupTexts::noRegisterIn(folder),
                    gui);
    }
    if (liveExists != historyExists)
        return fail(app::StartupTexts::missingFile(liveExists ? options.historyPath : options.livePath), gui);
    if (!liveExists && !historyExists) {
        if (createDemo(options.dataDir, options) != 0)
            return 1;
        firstRun = QString::fromUtf8("在 %1 中没有找到人口信息库，已为您建立了一个演示库。").arg(options.dataDir);
    }
    host::Globals &g = host::g();
    QString error;
    QString conninfo;
    if (server) {
        QByteArray password;
        int timeoutMs = 0;
        if (!serverSettings(options, conninfo, password, timeoutMs, error))
            return fail(error, gui);
        for (rt::Transaction *t : {&g.sqlca, &g.photosqlca}) {
            t->StatementTimeoutMs = timeoutMs;
            t->Password = QByteArray(password.constData(), password.size());
        }
        host::ServerLogin::wipe(password);
    }
    g.dataDirectory = server ? rt::PgConninfo::masked(conninfo)
                             : options.dataDir.isEmpty() ? QFileInfo(options.livePath).absolutePath() : options.dataDir;
    if ((server ? host::ServerLogin::connect(conninfo, g.sqlca, g.photosqlca, error, gui)
                : host::RegisterDatabases::connect(options.livePath, options.historyPath, g.sqlca, g.photosqlca, error))
        != 0)
        return fail(app::StartupTexts::cannotOpen(error), gui);
    static rt::DwLibrary library;
    if (!host::HostDwLibrary::load(library, options.layouts, error) || !hm::HistoryModule::registerObjects(library, error))
        return fail(app::StartupTexts::cannotLoadLayouts(error), gui);
    rt::DwLibrary::setDefaultLibrary(&library);
    host::HostWindows::registerWindows();
    hm::HistoryModule::registerWindows();

    auto *mainWindow = new host::w_main();
    g.w_main = mainWindow;
    // A statement the server leaves unanswered for a second shows a window that can cancel it.
    auto *busy = new host::BusyWindow(mainWindow);
    busy->watch(g.sqlca);
    busy->watch(g.photosqlca);
    mainWindow->Show();
    mainWindow->runOpen();
    if (!firstRun.isEmpty())
        mainWindow->setStatusText(firstRun);

    auto *module = new hm::w_histmanage();
    rt::ui::Windows::Open(module);
    const QString linkWarning = server ? tellLinkSecurity(module, conninfo, gui) : QString();
    if (shot) {
        QApplication::processEvents();
        if (!options.category.isEmpty()) {
            host::uo_button *button = module->categoryButton(options.category);
            if (!button)
                return fail(QStringLiteral("no category button named %1").arg(options.category), false);
            button->click();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        if (!options.window.isEmpty()) {
            QString shotError;
            if (!shootWindow(module, options.window, options.screenshot, shotError))
                return fail(shotError, false);
            out() << "Wrote " << options.screenshot << Qt::endl;
            return 0;
        }
        if (!module->grab().save(options.screenshot, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(options.screenshot), false);
        out() << "Wrote " << options.screenshot << Qt::endl;
        return 0;
    }
    // Once the window shows, one box after the other.
    QTimer::singleShot(0, module, [firstRun, passwordOnCommandLine, linkWarning]() {
        if (!firstRun.isEmpty())
            rt::ui::MessageBox(QString::fromUtf8("提示"), firstRun);
        if (passwordOnCommandLine)
            rt::ui::MessageBox(QString::fromUtf8("密码不安全"), app::CommandLinePasswords::warning(), rt::ui::MsgIcon::Exclamation);
        if (!linkWarning.isEmpty())
            rt::ui::MessageBox(QString::fromUtf8("连接不安全"), linkWarning, rt::ui::MsgIcon::Exclamation);
    });
    // Closing the module shows the host's window again; closing that ends the program.
    QObject::connect(mainWindow, &rt::ui::PbWindow::closed, qApp, &QApplication::quit);
    const int rc = QApplication::exec();
    // Kept while the program ran (a lost connection is opened again with it); no longer.
    host::ServerLogin::wipe(g.sqlca.Password);
    host::ServerLogin::wipe(g.photosqlca.Password);
    return rc;
}

// `histmaint maintain …`: the unattended upkeep of the history. No display and no dialog: it
// runs from cron or a systemd timer as well as from a terminal.
int runMaintain(int argc, char **argv, const QStringList &arguments)
{
    app::MaintainOptions options;
    QString error;
    const bool parsed = options.parse(arguments.mid(2), QDate::currentDate(), error);
    const bool passwordOnCommandLine = app::CommandLinePasswords::mask(argc, argv);
    if (!parsed) {
        err() << "histmaint: " << error << "\n\n" << app::MaintainOptions::usage() << Qt::flush;
        return app::MaintainCommand::Usage;
    }
    if (options.help) {
        out() << app::MaintainOptions::usage() << Qt::flush;
        return app::MaintainCommand::Done;
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("histmaint"));
    if (passwordOnCommandLine)
        err() << "histmaint: " << app::CommandLinePasswords::warning() << Qt::endl;
    // Only a deletion has a chunk to finish: counting is simply ended by Ctrl+C.
    if (options.action != app::MaintainOptions::Action::Stats)
        app::MaintainCommand::catchInterrupts();
    app::MaintainCommand command(options, out(), err());
    return command.run();
}

} // namespace

int main(int argc, char **argv)
{
    // No core file and no other process of the same user reading this one's memory: it may hold
    // a password or the register's personal data.
    ::prctl(PR_SET_DUMPABLE, 0);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (app::MaintainOptions::isMaintain(arguments))
        return runMaintain(argc, argv, arguments);
    app::AppOptions options;
    QString error;
    if (!options.parse(arguments, error)) {
        err() << "histmaint: " << app::StartupTexts::badArguments(error) << "\n\n" << app::AppOptions::usage() << Qt::flush;
        return 64;
    }
    // Before anything else reads argv (Qt's application object keeps its own copy).
    const bool passwordOnCommandLine = app::CommandLinePasswords::mask(argc, argv);
    switch (options.mode) {
    case app::AppOptions::Mode::Help:
        out() << app::AppOptions::usage() << Qt::flush;
        return 0;
    case app::AppOptions::Mode::CreateDemo: {
        QCoreApplication application(argc, argv);
        if (passwordOnCommandLine)
            err() << "histmaint: " << app::CommandLinePasswords::warning() << Qt::endl;
        return createDemo(options.demoDir, options);
    }
    case app::AppOptions::Mode::Open:
        break;
    }
    if (!options.screenshot.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!haveDisplay()) {
        err() << "histmaint: " << app::StartupTexts::noDisplay() << Qt::endl;
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("histmaint"));
    QApplication::setApplicationDisplayName(QString::fromUtf8("历史信息维护"));
    app::QtTranslations::install(application);
    return runGui(options, passwordOnCommandLine);
}
