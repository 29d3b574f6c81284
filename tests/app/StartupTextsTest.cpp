#include "app/QtTranslations.h"
#include "app/StartupTexts.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using app::StartupTexts;

// Every reason the program gives for not starting: Chinese on its first line, English after it.
// JRN-01
TEST(StartupTexts, ChineseFirstThenEnglish)
{
    const QString folder = QStringLiteral("/srv/register");
    for (const QString &text :
         {StartupTexts::missingFolder(folder), StartupTexts::noRegisterIn(folder),
          StartupTexts::missingFile(folder + QStringLiteral("/history.db")),
          StartupTexts::cannotOpen(QStringLiteral("unable to open database file")),
          StartupTexts::cannotLoadLayouts(QStringLiteral("dh_ge_rpr.json: bad JSON")), StartupTexts::noDisplay(),
          StartupTexts::badArguments(QStringLiteral("unknown argument: --dta"))}) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        ASSERT_GE(lines.size(), 2) << text.toStdString();
        EXPECT_TRUE(StartupTexts::chineseFirst(lines.first())) << text.toStdString();
        EXPECT_FALSE(StartupTexts::chineseFirst(lines[1])) << text.toStdString();
    }
    // A reason already told in Chinese first (a locked file) is not told twice.
    const QString told = QString::fromUtf8("history.db 正被另一个程序锁定。\nhistory.db is locked by another program");
    EXPECT_EQ(StartupTexts::cannotOpen(told), told);
}

// A folder that is not there is a wrong path: the operator is told to check it, and no demo
// register is offered in its place, as it once was.
// JRN-01
TEST(StartupTexts, AMissingFolderSuggestsCheckingThePathNotADemo)
{
    const QString text = StartupTexts::missingFolder(QStringLiteral("/srv/register"));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("找不到人口信息库所在的文件夹 /srv/register"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("--data")));
    EXPECT_FALSE(text.contains(QStringLiteral("--create-demo")));
    EXPECT_FALSE(text.contains(QString::fromUtf8("演示")));
}

// Qt's own dialogs speak Chinese once the program's translation is installed, whatever the
// locale the test runs under.
// JRN-02
TEST(QtTranslations, QtsOwnTextsAreChinese)
{
    int argc = 1;
    char name[] = "test_app";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open").toStdString(), "Open") << "nothing installed yet";
    ASSERT_TRUE(app::QtTranslations::install(application)) << "qt6-translations-l10n is installed";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), QString::fromUtf8("打开"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    EXPECT_TRUE(app::QtTranslations::install(application)) << "a second call changes nothing";
}
