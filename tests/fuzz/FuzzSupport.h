#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// The input as text, as the program would read it from a file (invalid UTF-8 replaced).
inline QString text(const std::uint8_t *data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A broken promise: says which, and stops the process so that the fuzzer keeps the input.
[[noreturn]] inline void broken(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void check(bool holds, const char *what, const QString &detail = QString())
{
    if (!holds)
        broken(what, detail);
}

} // namespace fuzz
