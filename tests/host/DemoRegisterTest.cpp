#include "host/DemoRegister.h"
#include "host/IdCardNumber.h"
#include "host/RegisterDatabases.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/Cursor.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rt::Value;
using rt::ValueType;

namespace {

const QDate Reference(2026, 6, 30);

class Demo
{
public:
    explicit Demo(std::uint64_t seed, int households = 80)
    {
        host::DemoOptions options;
        options.households = households;
        options.seed = seed;
        options.referenceDate = Reference;
        QString error;
        ok = host::DemoRegister::create(dir.path(), options, summary, error) == 0;
        EXPECT_TRUE(ok) << error.toStdString();
        ok = ok
             && host::RegisterDatabases::connect(QDir(dir.path()).filePath(QStringLiteral("register.db")),
                                                 QDir(dir.path()).filePath(QStringLiteral("history.db")), sqlca, photosqlca,
                                                 error)
                    == 0;
    }

    // A digest of every row of every table of both files.
    QByteArray digest()
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const auto &t : host::SchemaCatalogue::tables()) {
            for (auto [trans, table] : {std::pair{&sqlca, t.liveTable}, std::pair{&photosqlca, t.historyTable}}) {
                rt::Cursor cur(*trans, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(rt::sqlIdentifier(table)));
                cur.open();
                QList<Value> row;
                while (cur.fetch(row) == 0) {
                    for (const Value &v : row)
                        hash.addData((v.isNull() ? QStringLiteral("<null>") : v.toText()).toUtf8() + '|');
                }
                cur.close();
            }
        }
        return hash.result();
    }

    QList<QList<Value>> rows(rt::Transaction &t, const QString &sql, QList<Value> types)
    {
        QList<QList<Value>> out;
        rt::Cursor cur(t, sql);
        cur.open();
        QList<Value> row = types;
        while (cur.fetch(row) == 0) {
            out << row;
            row = types;
        }
        cur.close();
        return out;
    }

    QTemporaryDir dir;
    host::DemoSummary summary;
    rt::Transaction sqlca{QStringLiteral("sqlca")};
    rt::Transaction photosqlca{QStringLiteral("photosqlca")};
    bool ok = false;
};

int ageOn(QDate birthday, QDate day)
{
    int age = day.year() - birthday.year();
    if (day < birthday.addYears(age))
        --age;
    return age;
}

} // namespace

// MNT-50 (every test of this suite)
TEST(DemoRegister, SameSeedSameRegisterOtherSeedOtherRegister)
{
    Demo a(7), b(7), c(8);
    ASSERT_TRUE(a.ok && b.ok && c.ok);
    EXPECT_EQ(a.digest(), b.digest());
    EXPECT_NE(a.digest(), c.digest());
    EXPECT_EQ(a.summary.totalHistoryRows(), b.summary.totalHistoryRows());
}

TEST(DemoRegister, PersonsAreBelievableAndConsistent)
{
    Demo demo(3, 150);
    ASSERT_TRUE(demo.ok);
    const auto persons = demo.rows(demo.photosqlca,
                                   QStringLiteral("SELECT PersonNo, sex, birthday, idcard, personname FROM th_ge_personinfo"),
                                   {Value::null(ValueType::String), Value::null(ValueType::String), Value::null(ValueType::Date),
                                    Value::null(ValueType::String), Value::null(ValueType::String)});
    ASSERT_GT(persons.size(), 200);
    for (const auto &p : persons) {
        const QString id = p[3].string();
        ASSERT_TRUE(host::IdCardNumber::isValid(id)) << id.toStdString();
        EXPECT_EQ(host::IdCardNumber::birthday(id), p[2].date());
        EXPECT_EQ(host::IdCardNumber::isMale(id), p[1].string() == QString::fromUtf8("男"));
        EXPECT_GE(p[4].string().size(), 2);
    }
    auto ages = [&](const QString &table) {
        return demo.rows(demo.photosqlca,
                         QStringLiteral("SELECT p.birthday, p.sex FROM %1 r JOIN th_ge_personinfo p ON p.PersonNo = r.personno").arg(table),
                         {Value::null(ValueType::Date), Value::null(ValueType::String)});
    };
    for (const auto &r : ages(QStringLiteral("th_sv_elderinfo")))
        EXPECT_GE(ageOn(r[0].date(), Reference), 60);
    for (const auto &r : ages(QStringLiteral("th_sv_children")))
        EXPECT_LT(ageOn(r[0].date(), Reference), 14);
    for (const auto &r : ages(QStringLiteral("th_mh_AdultWomaninfo"))) {
        EXPECT_EQ(r[1].string(), QString::fromUtf8("女"));
        const int age = ageOn(r[0].date(), Reference);
        EXPECT_TRUE(age >= 15 && age <= 49) << age;
    }
}

TEST(DemoRegister, HistoryHasRemovedPersonsCancelledHouseholdsAndSeveralSnapshots)
{
    Demo demo(1, 300);
    ASSERT_TRUE(demo.ok);
    auto scalar = [&](rt::Transaction &t, const QString &sql) {
        QList<Value> v{Value::null(ValueType::Long)};
        EXPECT_EQ(t.selectInto(sql, {}, v), 0) << t.SQLErrText().toStdString();
        return v[0].longValue();
    };
    EXPECT_GT(scalar(demo.photosqlca, QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE issave = '5'")), 0);
    EXPECT_GT(scalar(demo.photosqlca, QStringLiteral("SELECT count(*) FROM th_ge_personinfo WHERE issave = '6'")), 0);
    EXPECT_GT(scalar(demo.photosqlca, QStringLiteral("SELECT count(*) FROM (SELECT personno FROM th_sv_elderinfo "
                                                     "GROUP BY personno HAVING count(*) > 1)")),
              0);
    // A person whose latest snapshot says "removed" has no live row; everyone else in a live
    // household does.
    EXPECT_EQ(scalar(demo.sqlca, QStringLiteral("SELECT count(*) FROM th_ge_personinfo h WHERE issave = '6' AND SaveTime = "
                                                "(SELECT max(SaveTime) FROM th_ge_personinfo WHERE PersonNo = h.PersonNo) "
                                                "AND EXISTS (SELECT 1 FROM ge_personinfo l WHERE l.PersonNo = h.PersonNo)")),
              0);
    // Identity order numbers of the live tables never collide with those of history rows of
    // removed records.
    EXPECT_EQ(scalar(demo.sqlca, QStringLiteral("SELECT count(*) FROM ge_company l WHERE EXISTS (SELECT 1 FROM th_ge_company h "
                                                "WHERE h.orderno = l.orderno AND h.personno <> l.personno)")),
              0);
    // Save times lie in the three years before the reference date.
    QList<Value> range{Value::null(ValueType::DateTime), Value::null(ValueType::DateTime)};
    ASSERT_EQ(demo.photosqlca.selectInto(QStringLiteral("SELECT min(SaveTime), max(SaveTime) FROM th_ge_rpr"), {}, range), 0);
    EXPECT_GE(range[0].dateTime().date(), Reference.addDays(-1096));
    EXPECT_LT(range[1].dateTime().date(), Reference);
    EXPECT_TRUE(demo.summary.describe().contains(QStringLiteral("th_ge_personinfo")));
}

TEST(IdCardNumber, CheckCharacterFollowsTheStandard)
{
    // A published example number: 11010519491231002X.
    EXPECT_EQ(host::IdCardNumber::checkCharacter(QStringLiteral("11010519491231002")), QLatin1Char('X'));
    EXPECT_TRUE(host::IdCardNumber::isValid(QStringLiteral("11010519491231002X")));
    EXPECT_FALSE(host::IdCardNumber::isValid(QStringLiteral("110105194912310021")));
    EXPECT_FALSE(host::IdCardNumber::isMale(QStringLiteral("11010519491231002X")));
    EXPECT_EQ(host::IdCardNumber::checkCharacter(QStringLiteral("1101051949123100")), QChar());
}

TEST(DemoRegister, HouseholdsForARowCountAndAnotherDayGivesAnotherRegister)
{
    EXPECT_EQ(host::DemoRegister::householdsForHistoryRows(1), 1);
    EXPECT_EQ(host::DemoRegister::householdsForHistoryRows(14), 1);
    EXPECT_EQ(host::DemoRegister::householdsForHistoryRows(1'000'000), 71'429);
    // The register is made relative to its day: the same seed on another day moves the dates.
    QTemporaryDir a, b;
    host::DemoOptions o;
    o.households = 5;
    o.seed = 2;
    o.referenceDate = QDate(2026, 1, 1);
    host::DemoSummary sa, sb;
    QString error;
    ASSERT_EQ(host::DemoRegister::create(a.path(), o, sa, error), 0);
    o.referenceDate = QDate(2027, 1, 1);
    ASSERT_EQ(host::DemoRegister::create(b.path(), o, sb, error), 0);
    EXPECT_EQ(sa.totalHistoryRows(), sb.totalHistoryRows()) << "the same households and snapshots";
    EXPECT_EQ(host::DemoRegister::create(a.path(), o, sa, error), -1) << "never over an existing register";
    EXPECT_TRUE(error.contains(QStringLiteral("already exists")));
}

// The register holds identity numbers and addresses: a register made here is its owner's alone.
TEST(DemoRegister, FilesAreReadableByTheirOwnerAlone)
{
    QTemporaryDir root;
    const QString dir = QDir(root.path()).filePath(QStringLiteral("register"));
    host::DemoOptions options;
    options.households = 3;
    host::DemoSummary summary;
    QString error;
    ASSERT_EQ(host::DemoRegister::create(dir, options, summary, error), 0) << error.toStdString();
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    EXPECT_EQ(QFileInfo(dir).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              owner | QFileDevice::ExeOwner);
    const QStringList files = QDir(dir).entryList(QDir::Files);
    EXPECT_GE(files.size(), 2);
    for (const QString &f : files)
        EXPECT_EQ(QFileInfo(QDir(dir).filePath(f)).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), owner)
            << f.toStdString();
}
