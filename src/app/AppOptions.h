#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace app {

// What the command line asks for. parse() fills it and returns false with errorText for
// arguments it cannot use.
struct AppOptions
{
    enum class Mode { Open, CreateDemo, Help };

    Mode mode = Mode::Open;
    QString dataDir;        // --data DIR, or the default data directory
    bool defaultDataDir = false; // no --data, --live or --history given
    QString livePath;       // --live FILE
    QString historyPath;    // --history FILE
    QString demoDir;        // --create-demo DIR
    QString pg;             // --pg CONNINFO: the register on a PostgreSQL server (or --create-demo-pg CONNINFO)
    QString profile;        // --profile NAME: the register on the server a connection profile names
    int households = 400;   // --households N
    std::uint64_t seed = 1; // --seed S
    QString screenshot;     // --screenshot FILE
    QString category;       // --category BUTTON (with --screenshot)
    QString window;         // --window NAME (with --category)
    QString layouts;        // --layouts DIR: DataWindow objects that replace the built-in ones

    bool parse(const QStringList &arguments, QString &errorText);
    static QString usage();
    static QString defaultDataDirPath();
    // The register is on a server (--pg, --create-demo-pg or --profile).
    bool onServer() const { return !pg.isEmpty() || !profile.isEmpty(); }
};

} // namespace app
