#include "app/AppOptions.h"
#include "app/QtTranslations.h"
#include "app/StartupTexts.h"
#include "host/DemoRegister.h"
#include "host/HostDwLibrary.h"
#include "host/RegisterDatabases.h"
#include "host/ui/Globals.h"
#include "host/ui/HostWindows.h"
#include "host/ui/uo_button.h"
#include "host/ui/w_main.h"
#include "platform/dw/DwLibrary.h"
#include "platform/core/PgConninfo.h"
#include "platform/ui/DataWindowControl.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/QtOperatorDialogs.h"
#include "platform/ui/Windows.h"
#include "shell/HistoryModule.h"
#include "shell/w_histmanage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>

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
    QTimer::singleShot(300, module, [&]() {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<rt::ui::PbWindow *>(w);
            if (window && window->isVisible() && window->ClassName() == name) {
                saved = window->grab().save(file, "PNG");
                window->Close();
                return;
            }
        }
    });
    hm::HistoryModule::openOnGrid(name, grid);
    if (!saved)
        error = QStringLiteral("cannot draw %1 into %2").arg(name, file);
    return saved;
}

int runGui(const app::AppOptions &options)
{
    const bool shot = !options.screenshot.isEmpty();
    const bool gui = !shot;
    // First run: a demo register in the default data directory, and the operator is told.
    const bool server = !options.pg.isEmpty();
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
    g.dataDirectory = server ? rt::PgConninfo::masked(options.pg)
                             : options.dataDir.isEmpty() ? QFileInfo(options.livePath).absolutePath() : options.dataDir;
    QString error;
    if ((server ? host::RegisterDatabases::connectServer(options.pg, g.sqlca, g.photosqlca, error)
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
    mainWindow->Show();
    mainWindow->runOpen();
    if (!firstRun.isEmpty())
        mainWindow->setStatusText(firstRun);

    auto *module = new hm::w_histmanage();
    rt::ui::Windows::Open(module);
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
    if (!firstRun.isEmpty())
        QTimer::singleShot(0, module, [firstRun]() { rt::ui::MessageBox(QString::fromUtf8("提示"), firstRun); });
    // Closing the module shows the host's window again; closing that ends the program.
    QObject::connect(mainWindow, &rt::ui::PbWindow::closed, qApp, &QApplication::quit);
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    app::AppOptions options;
    QString error;
    if (!options.parse(arguments, error)) {
        err() << "histmaint: " << app::StartupTexts::badArguments(error) << "\n\n" << app::AppOptions::usage() << Qt::flush;
        return 64;
    }
    switch (options.mode) {
    case app::AppOptions::Mode::Help:
        out() << app::AppOptions::usage() << Qt::flush;
        return 0;
    case app::AppOptions::Mode::CreateDemo: {
        QCoreApplication application(argc, argv);
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
    return runGui(options);
}
