#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace app {

// A password written on the command line (`--pg "… password=…"`, `--create-demo-pg …`) can be
// read by every user of the computer for as long as the program runs (ps, /proc/PID/cmdline).
// The program cannot stop that before it starts, but it can shorten it: it overwrites the
// password's characters in its own argument memory with '*' (the string stays one that libpq
// reads, with a password of stars), and tells the operator what to use instead.
class CommandLinePasswords
{
public:
    // The byte ranges [first, last) of the passwords (password=, sslpassword=) in a connection
    // string as libpq reads it: key=value pairs (values bare with backslash escapes, or in single
    // quotes: the range is what lies between them) or a postgresql:// (postgres://) URI (the
    // password of user:password@ and a password= parameter).
    static QList<std::pair<int, int>> find(const char *conninfo);
    // Overwrites the passwords in the values of --pg and --create-demo-pg in argv; true when it
    // found any. Call once the arguments have been read, before anything else sees argv.
    static bool mask(int argc, char **argv);
    // What the operator is told when a password was found.
    static QString warning();
};

} // namespace app
