#include "app/MaintainOptions.h"
#include "app/MaintainPolicy.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// The day --older-than counts back from in these cases: the end of a leap February.
const QDate today(2024, 2, 29);

struct MaintainLine
{
    const char *words; // split at spaces
    bool ok;
    const char *expect; // ok: "before=YYYY-MM-DD" or "" ; refused: a part of the reason
};

void PrintTo(const MaintainLine &c, std::ostream *os)
{
    *os << c.words;
}

QStringList split(const char *words)
{
    return QString::fromUtf8(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class MaintainOptionsParse : public ::testing::TestWithParam<MaintainLine>
{
};

// Every wrong command line is refused (the caller answers it with status 2 and the usage) with
// its reason in Chinese, then English; the rest is accepted with the date it means.
// MNT-22, MNT-30 (every test of this suite)
// MNT-21
TEST_P(MaintainOptionsParse, AcceptsWhatItDocumentsAndRefusesTheRest)
{
    app::MaintainOptions o;
    QString error;
    ASSERT_EQ(o.parse(split(GetParam().words), today, error), GetParam().ok) << error.toStdString();
    const QString expect = QString::fromUtf8(GetParam().expect);
    if (GetParam().ok) {
        if (expect.startsWith(QLatin1String("before="))) {
            EXPECT_EQ(o.before.toString(Qt::ISODate), expect.mid(7));
        }
    } else {
        EXPECT_TRUE(error.contains(expect)) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1Char('\n'))) << "Chinese, then English: " << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MaintainOptionsParse,
    ::testing::Values(
        MaintainLine{"stats", true, ""}, MaintainLine{"stats --json --data /d", true, ""},
        MaintainLine{"stats --profile office", true, ""}, MaintainLine{"--help", true, ""},
        MaintainLine{"purge --category 个人信息 --before 2020-01-01", true, "before=2020-01-01"},
        MaintainLine{"purge --category th_ge_personinfo --category 户籍信息 --before 2020-1-5 --keep-last 3 --dry-run --chunk 500 --json",
                     true, "before=2020-01-05"},
        MaintainLine{"purge --category 户籍信息 --before 2020-1-5 --with-persons --dry-run", true, "before=2020-01-05"},
        MaintainLine{"purge --category 个人信息 --older-than 30d", true, "before=2024-01-30"},
        MaintainLine{"purge --category 个人信息 --older-than 1m", true, "before=2024-01-29"},
        // A year before the 29th of February is the 28th, not a day that does not exist.
        MaintainLine{"purge --category 个人信息 --older-than 1y", true, "before=2023-02-28"},
        MaintainLine{"dedupe --category 个人信息 --dry-run --chunk 1 --live a --history b", true, ""},
        MaintainLine{"policy", true, ""}, MaintainLine{"policy --policy /tmp/p.conf --dry-run --json --pg dbname=x", true, ""},
        // Refused.
        MaintainLine{"", false, "stats"}, MaintainLine{"clean", false, "clean"},
        MaintainLine{"purge --category 个人信息", false, "--older-than"},
        MaintainLine{"purge --category 个人信息 --before 2020-01-01 --older-than 3y", false, "--older-than"},
        MaintainLine{"purge --before 2020-01-01", false, "--category"},
        // The household procedure deletes by date only.
        MaintainLine{"purge --category 户籍信息 --before 2020-01-01 --with-persons --keep-last 2", false, "--keep-last"},
        MaintainLine{"purge --category 个人信息 --before 2023-02-29", false, "请按“年-月-日”输入一个存在的日期"},
        MaintainLine{"purge --category 个人信息 --before 2023-13-01", false, "请按“年-月-日”输入一个存在的日期"},
        MaintainLine{"purge --category 个人信息 --before 01/02/2020", false, "请按“年-月-日”输入一个存在的日期"},
        MaintainLine{"purge --category 个人信息 --older-than 3w", false, "90d"},
        MaintainLine{"purge --category 个人信息 --older-than -3d", false, "90d"},
        MaintainLine{"purge --category 个人信息 --before 2020-01-01 --keep-last 0", false, "--keep-last"},
        MaintainLine{"purge --category 个人信息 --before 2020-01-01 --keep-last x", false, "--keep-last"},
        MaintainLine{"purge --category 个人信息 --before 2020-01-01 --chunk 0", false, "--chunk"},
        MaintainLine{"purge --category --before 2020-01-01", false, "--category needs a value"},
        MaintainLine{"dedupe", false, "--category"},
        MaintainLine{"dedupe --category 个人信息 --keep-last 2", false, "--keep-last does not go with maintain dedupe"},
        MaintainLine{"dedupe --category 个人信息 --before 2020-01-01", false, "--before"},
        MaintainLine{"stats --dry-run", false, "--dry-run"}, MaintainLine{"stats --category 个人信息", false, "--category"},
        MaintainLine{"stats --chunk 5", false, "--chunk"}, MaintainLine{"purge --category 个人信息 --before 2020-01-01 --policy p", false, "--policy"},
        MaintainLine{"policy --with-persons", false, "--with-persons"},
        MaintainLine{"stats --pg dbname=x --profile office", false, "--profile"},
        MaintainLine{"stats --pg dbname=x --data /d", false, "--data"}, MaintainLine{"stats --live a", false, "--history"},
        MaintainLine{"stats --data /d --live a --history b", false, "--data"},
        MaintainLine{"stats --screenshot a.png", false, "unknown argument"}));

// What the journal's detail says of a run: the date an age was counted to, not only the age.
// MNT-23
TEST(MaintainOptionsText, TellsTheDateAnAgeMeant)
{
    app::MaintainOptions o;
    QString error;
    ASSERT_TRUE(o.parse(split("purge --category 个人信息 --older-than 10y --keep-last 2"), today, error));
    EXPECT_EQ(o.optionsText, QString::fromUtf8("purge --category 个人信息 --before 2014-02-28 (--older-than 10y) --keep-last 2 --chunk 10000"));
    EXPECT_EQ(o.policyPath, QStringLiteral("/etc/histmaint/maintain.conf"));
}

struct PolicyText
{
    const char *text;
    const char *expect; // "" when accepted; else a part of the refusal, with its line
};

void PrintTo(const PolicyText &c, std::ostream *os)
{
    *os << c.text;
}

class MaintainPolicyParse : public ::testing::TestWithParam<PolicyText>
{
};

// A refused policy file names its file and line: the administrator reads it in the journal.
// MNT-34
TEST_P(MaintainPolicyParse, RefusesWithFileAndLine)
{
    app::MaintainPolicy p;
    QString error;
    const QString expect = QString::fromUtf8(GetParam().expect);
    EXPECT_EQ(p.parse(QString::fromUtf8(GetParam().text), QStringLiteral("/etc/histmaint/maintain.conf"), error), expect.isEmpty())
        << error.toStdString();
    if (!expect.isEmpty()) {
        EXPECT_TRUE(error.contains(expect)) << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MaintainPolicyParse,
    ::testing::Values(PolicyText{"", ""}, PolicyText{"# all off\n[个人信息]\n# keep_years = 10\n", ""},
                      PolicyText{"keep_years = 3\n", "maintain.conf 第 1 行"},
                      PolicyText{"[个人信息]\nkeep_years = ten\n", "maintain.conf line 2: keep_years is a whole number"},
                      PolicyText{"[个人信息]\nkeep_years = 3\nkeep_years = 4\n", "第 3 行"},
                      PolicyText{"[个人信息]\ndedupe = maybe\n", "yes or no"},
                      PolicyText{"[个人信息]\nkeep = 3\n", "unknown key keep"},
                      PolicyText{"[个人信息]\n[个人信息]\n", "[个人信息] is given twice"},
                      PolicyText{"[个人信息\n", "第 1 行"}, PolicyText{"[个人信息]\njust words\n", "key = value"},
                      PolicyText{"[register]\nprofile = office\ndata = /srv/reg\n", "第 3 行"},
                      PolicyText{"[register]\nhost = x\n", "takes profile or data"},
                      PolicyText{"[个人信息]\nkeep_last =\n", "has no value"}));

// MNT-34
TEST(MaintainPolicyRead, ReadsTheRegisterAndEachCategoryInOrder)
{
    app::MaintainPolicy p;
    QString error;
    ASSERT_TRUE(p.parse(QString::fromUtf8("; the office's rules\n[register]\ndata = /srv/reg\n\n[户籍信息]\nkeep_years = 20\n"
                                          "with_persons = yes\n[th_ge_personinfo]\n  DEDUPE = Yes  \nkeep_last = 5\n"),
                        QStringLiteral("p.conf"), error))
        << error.toStdString();
    EXPECT_EQ(p.dataDir(), QStringLiteral("/srv/reg"));
    ASSERT_EQ(p.sections().size(), 2);
    const app::MaintainPolicy::Section &household = p.sections()[0];
    EXPECT_EQ(household.name, QString::fromUtf8("户籍信息"));
    EXPECT_EQ(household.line, 5);
    EXPECT_TRUE(household.purges());
    EXPECT_TRUE(household.withPersons);
    EXPECT_EQ(household.withPersonsLine, 7);
    EXPECT_EQ(household.purgeBefore(today), QDate(2004, 2, 29));
    const app::MaintainPolicy::Section &persons = p.sections()[1];
    EXPECT_TRUE(persons.dedupe);
    // keep_last alone keeps the newest N and deletes the rest, today's too.
    EXPECT_EQ(persons.purgeBefore(today), QDate(2024, 3, 1));
}

// The example the package installs is all comments: installed as it is, it deletes nothing.
// MNT-34
TEST(MaintainPolicyRead, TheInstalledExampleAsksForNothing)
{
    app::MaintainPolicy p;
    QString error;
    ASSERT_TRUE(p.load(QStringLiteral(HM_SOURCE_DIR "/packaging/maintain.conf"), error)) << error.toStdString();
    for (const app::MaintainPolicy::Section &s : p.sections())
        EXPECT_FALSE(s.dedupe || s.purges()) << s.name.toStdString();
    EXPECT_TRUE(p.profile().isEmpty() && p.dataDir().isEmpty());
    // Every commented setting of it is one the reader accepts once uncommented.
    QFile f(QStringLiteral(HM_SOURCE_DIR "/packaging/maintain.conf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString uncommented;
    // Settings are commented out with a bare '#', explanations with "# ".
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('#')) && line.size() > 1 && !line.at(1).isSpace() && !line.startsWith(QLatin1String("#data")))
            uncommented += line.mid(1) + QLatin1Char('\n');
    }
    app::MaintainPolicy all;
    EXPECT_TRUE(all.parse(uncommented, QStringLiteral("uncommented"), error)) << error.toStdString() << "\n" << uncommented.toStdString();
    EXPECT_FALSE(all.sections().isEmpty());
}
