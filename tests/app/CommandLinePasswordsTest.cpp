#include "app/CommandLinePasswords.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using app::CommandLinePasswords;

namespace {

// The connection string with every password found replaced by stars.
QByteArray masked(const char *conninfo)
{
    QByteArray text(conninfo);
    for (const auto &[first, last] : CommandLinePasswords::find(text.constData()))
        text.replace(first, last - first, QByteArray(last - first, '*'));
    return text;
}

// This program again with these arguments after --mask-and-show: what /proc/PID/cmdline said
// once it had masked them (arguments separated by '|').
QByteArray cmdlineAfterMasking(const QStringList &arguments)
{
    QProcess child;
    child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")), QStringList{QStringLiteral("--mask-and-show")} + arguments);
    EXPECT_TRUE(child.waitForFinished(10000));
    return child.readAllStandardOutput();
}

} // namespace

// SRV-16
TEST(CommandLinePasswordsFind, FindsThePasswordWhereverLibpqWouldReadIt)
{
    const std::pair<const char *, const char *> cases[] = {
        {"host=db password=s3cret dbname=r", "host=db password=****** dbname=r"},
        {"password=first host=db", "password=***** host=db"},
        {"host=db password=last", "host=db password=****"},
        {"host=db password = 'two words' user=u", "host=db password = '*********' user=u"},
        {"password='it\\'s' user=u", "password='*****' user=u"},
        {"password=back\\ slash user=u", "password=*********** user=u"},
        {"application_name='password=no' host=h", "application_name='password=no' host=h"},
        {"user=password host=h", "user=password host=h"},
        {"sslpassword=key host=h", "sslpassword=*** host=h"},
        {"host=h password=''", "host=h password=''"},
        {"postgresql://clerk:pw@db.example/register", "postgresql://clerk:**@db.example/register"},
        {"postgres://clerk:p%40ss@db:5433/register?sslmode=require", "postgres://clerk:******@db:5433/register?sslmode=require"},
        {"postgresql://clerk@db/register?password=pw&sslmode=verify-full",
         "postgresql://clerk@db/register?password=**&sslmode=verify-full"},
        {"postgresql://db/register", "postgresql://db/register"},
        {"host=db dbname=register", "host=db dbname=register"},
    };
    for (const auto &[given, expected] : cases)
        EXPECT_EQ(masked(given), QByteArray(expected)) << given;
}

// SRV-16
TEST(CommandLinePasswordsMask, OtherUsersSeeStarsInTheProcessesArguments)
{
    const QByteArray shown = cmdlineAfterMasking(
        {QStringLiteral("--pg"), QStringLiteral("host=db password='top secret' dbname=r"), QStringLiteral("--seed"),
         QStringLiteral("password=notaconninfo")});
    EXPECT_TRUE(shown.startsWith("masked|")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("|--pg|host=db password='**********' dbname=r|--seed|password=notaconninfo|")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("top secret"));

    const QByteArray uri = cmdlineAfterMasking({QStringLiteral("--create-demo-pg"), QStringLiteral("postgresql://u:pw@db/r")});
    EXPECT_TRUE(uri.contains("|--create-demo-pg|postgresql://u:**@db/r|")) << uri.toStdString();

    const QByteArray none = cmdlineAfterMasking({QStringLiteral("--pg"), QStringLiteral("host=db")});
    EXPECT_TRUE(none.startsWith("untouched|")) << none.toStdString();
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--mask-and-show") == 0) {
        const bool any = CommandLinePasswords::mask(argc, argv);
        QFile cmdline(QStringLiteral("/proc/self/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            return 2;
        QByteArray text = cmdline.readAll();
        text.replace('\0', '|');
        fputs(any ? "masked|" : "untouched|", stdout);
        fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
