#include "app/AppOptions.h"
#include "host/DemoRegister.h"
#include "host/RegisterDatabases.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <QElapsedTimer>

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
    host::DemoOptions demo;
    demo.households = options.households;
    demo.seed = options.seed;
    host::DemoSummary summary;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (host::DemoRegister::create(dir, demo, summary, error) != 0) {
        err() << "histmaint: cannot create the demo register: " << error << Qt::endl;
        return 1;
    }
    out() << "Created a demo register of " << options.households << " households (seed " << options.seed << ") in "
          << timer.elapsed() / 1000.0 << " s.\n"
          << summary.describe() << Qt::flush;
    return 0;
}

int openRegister(const app::AppOptions &options)
{
    const bool liveExists = QFileInfo::exists(options.livePath);
    const bool historyExists = QFileInfo::exists(options.historyPath);
    if (!liveExists && !historyExists && !options.dataDir.isEmpty()) {
        out() << "No register in " << options.dataDir << " yet: making a demo register there.\n";
        if (createDemo(options.dataDir, options) != 0)
            return 1;
    }
    rt::Transaction sqlca(QStringLiteral("sqlca")), photosqlca(QStringLiteral("photosqlca"));
    QString error;
    if (host::RegisterDatabases::connect(options.livePath, options.historyPath, sqlca, photosqlca, error) != 0) {
        err() << "histmaint: cannot open the register: " << error << Qt::endl;
        return 2;
    }
    out() << "Register opened:\n  live    " << options.livePath << "\n  history " << options.historyPath << "\n";
    for (const host::TableDef &t : host::SchemaCatalogue::tables()) {
        QList<rt::Value> n{rt::Value::null(rt::ValueType::Long)};
        photosqlca.selectInto(QStringLiteral("SELECT count(*) FROM %1").arg(rt::sqlIdentifier(t.historyTable)), {}, n);
        out() << "  " << QStringLiteral("%1").arg(t.historyTable, -24) << n[0].longValue() << " history rows ("
              << t.caption << ")\n";
    }
    out() << Qt::flush;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("histmaint"));
    app::AppOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        err() << "histmaint: " << error << "\n\n" << app::AppOptions::usage() << Qt::flush;
        return 64;
    }
    switch (options.mode) {
    case app::AppOptions::Mode::Help:
        out() << app::AppOptions::usage() << Qt::flush;
        return 0;
    case app::AppOptions::Mode::CreateDemo:
        return createDemo(options.demoDir, options);
    case app::AppOptions::Mode::Open:
        break;
    }
    return openRegister(options);
}
