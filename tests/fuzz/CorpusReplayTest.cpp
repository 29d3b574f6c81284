#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>

// Every input the fuzzers kept (tests/fuzz/corpus/<target>/), those that once failed among them,
// read again by its reader in the ordinary build: a reader that breaks on one fails here without
// a fuzzer. A broken promise aborts the test process, naming the reader and the input.
class CorpusReplayTest : public ::testing::TestWithParam<fuzz::Target>
{
};

namespace fuzz {
inline void PrintTo(const Target &t, std::ostream *os)
{
    *os << t.name;
}
} // namespace fuzz

TEST_P(CorpusReplayTest, EveryKeptInputIsReadAgain)
{
    const fuzz::Target &target = GetParam();
    const QDir folder(QStringLiteral(HM_FUZZ_CORPUS "/") + QString::fromLatin1(target.name));
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no corpus in " << folder.path().toStdString();
    for (const QString &name : files) {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray input = f.readAll();
        // Said before the reader runs: an abort then names the input.
        std::fprintf(stderr, "%s: %s\n", target.name, name.toUtf8().constData());
        EXPECT_EQ(target.run(reinterpret_cast<const std::uint8_t *>(input.constData()), std::size_t(input.size())), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, CorpusReplayTest, ::testing::ValuesIn(fuzz::targets()),
                         [](const ::testing::TestParamInfo<fuzz::Target> &info) { return std::string(info.param.name); });

// scripts/fuzz runs a target per corpus folder: every folder is a target, every target has one.
TEST(CorpusFolders, AreTheTargets)
{
    QStringList names;
    for (const fuzz::Target &t : fuzz::targets())
        names << QString::fromLatin1(t.name);
    names.sort();
    EXPECT_EQ(QDir(QStringLiteral(HM_FUZZ_CORPUS)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), names);
}
