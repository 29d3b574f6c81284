// Writes the host's DataWindow library file, generated from the schema catalogue, at build time.
#include "host/DwLibraryBuilder.h"

#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dwgen OUTPUT.json\n");
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "dwgen: cannot write %s\n", argv[1]);
        return 1;
    }
    out.write(host::DwLibraryBuilder::libraryJson());
    return 0;
}
