#include "host/DemoRegister.h"

#include "host/IsSave.h"
#include "host/DemoRandom.h"
#include "host/DemoVocabulary.h"
#include "host/IdCardNumber.h"
#include "host/RegisterDatabases.h"
#include "host/SchemaCatalogue.h"
#include "platform/core/PgConninfo.h"
#include "platform/core/SqlQuote.h"
#include "platform/core/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace host {

namespace {

using rt::Value;
using Record = QHash<QString, Value>;
using V = DemoVocabulary;

QString digits(std::int64_t value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

QString phone(DemoRandom &r)
{
    return QStringLiteral("1%1%2").arg(r.pick(QList<int>{3, 5, 8, 9})).arg(digits(r.between(0, 999999999), 9));
}

QString landline(DemoRandom &r)
{
    return QStringLiteral("025-%1").arg(digits(r.between(50000000, 89999999), 8));
}

rt::Decimal money(DemoRandom &r, int low, int high)
{
    return rt::Decimal(std::int64_t(r.between(low, high)) * 100 + r.pick(QList<int>{0, 0, 50, 10, 35, 99}), 2);
}

struct Person
{
    QString personNo;
    QString name;
    bool male = true;
    QDate birthday;
    int age = 0;
    QString relation;
    bool married = false;
};

class Generator
{
public:
    Generator(rt::Transaction &live, rt::Transaction &history, const DemoOptions &options)
        : m_live(live), m_history(history), m_options(options), m_random(options.seed * 0x2545F4914F6CDD1DULL + 7),
          m_duplicates(options.seed * 0x9E3779B97F4A7C15ULL + 11),
          m_today(options.referenceDate.isValid() ? options.referenceDate : QDate::currentDate())
    {
    }

    bool run(QString &error)
    {
        // A large page cache keeps the index pages of a million-row load in memory.
        if (m_live.DBMS == QLatin1String("SQLite")) {
            m_live.executeImmediate(QStringLiteral("PRAGMA cache_size = -131072"));
            m_history.executeImmediate(QStringLiteral("PRAGMA cache_size = -131072"));
        }
        if (!m_live.beginWrite() || !m_history.beginWrite()) {
            error = m_live.SQLCode() == -1 ? m_live.SQLErrText() : m_history.SQLErrText();
            return false;
        }
        for (int h = 0; h < m_options.households && m_error.isEmpty(); ++h)
            household(h);
        flushAll();
        if (!m_error.isEmpty()) {
            m_live.rollback();
            m_history.rollback();
            error = m_error;
            return false;
        }
        if (m_live.commit() != 0 || m_history.commit() != 0) {
            error = m_live.SQLCode() == -1 ? m_live.SQLErrText() : m_history.SQLErrText();
            return false;
        }
        return true;
    }

private:
    // Rows are written a few thousand at a time, in one request each (COPY on a server; the
    // files take them a row at a time, which is as fast there).
    void insert(bool live, const QString &stem, const QList<Value> &values)
    {
        QList<QList<Value>> &pending = (live ? m_liveRows : m_historyRows)[stem];
        pending << values;
        if (pending.size() >= 5000)
            flush(live, stem);
    }
    void flush(bool live, const QString &stem)
    {
        QList<QList<Value>> &pending = (live ? m_liveRows : m_historyRows)[stem];
        const TableDef *t = SchemaCatalogue::byStem(stem);
        if (m_error.isEmpty() && !pending.isEmpty()) {
            QStringList columns;
            for (const ColumnDef &c : t->liveColumns)
                columns << c.name;
            if (!live)
                columns << TableDef::saveTimeColumn();
            rt::Transaction &into = live ? m_live : m_history;
            if (into.bulkInsert(live ? t->liveTable : t->historyTable, columns, pending) == -1)
                m_error = into.SQLErrText();
        }
        pending.clear();
    }
    void flushAll()
    {
        for (const TableDef &t : SchemaCatalogue::tables()) {
            flush(true, t.stem);
            flush(false, t.stem);
        }
    }

    QList<Value> ordered(const QString &stem, const Record &record)
    {
        QList<Value> values;
        for (const ColumnDef &c : SchemaCatalogue::byStem(stem)->liveColumns)
            values << record.value(c.name, Value());
        return values;
    }

    // Writes the live row (unless the record is gone) and its earlier snapshots. The last
    // snapshot of a gone record carries the code that tells why it went.
    void store(const QString &stem, Record current, bool live, const QString &goneCode,
               const std::function<void(Record &)> &mutate)
    {
        if (live)
            insert(true, stem, ordered(stem, current));
        int snapshots = m_random.weighted({20, 35, 30, 15});
        if (!live)
            snapshots = std::max(1, snapshots);
        QList<rt::DateTime> times;
        for (int i = 0; i < snapshots; ++i)
            times << saveTime();
        std::sort(times.begin(), times.end());
        Record version = current;
        // Walk back in time: each older snapshot differs a little from the one after it.
        for (int i = snapshots - 1; i >= 0; --i) {
            Record row = version;
            if (!live && i == snapshots - 1)
                row[QStringLiteral("issave")] = goneCode;
            else
                row[QStringLiteral("issave")] = QString(QLatin1Char(m_random.pick(QList<char>{'1', '1', '1', '0', '3', '2'})));
            QList<Value> values = ordered(stem, row);
            values << Value(times[i]);
            insert(false, stem, values);
            mutate(version);
            // Some records were saved twice unchanged (a save with nothing edited): the oldest
            // state again a day later, while nothing newer was saved yet. Drawn from a stream
            // of its own so that the rest of the register is the same with or without them.
            if (i == 0 && m_duplicates.chance(DuplicatePercent)) {
                const rt::DateTime again(times[0].date().addDays(1), times[0].time());
                if (snapshots > 1 ? again < times[1] : again.date() < m_today) {
                    values.last() = Value(again);
                    insert(false, stem, values);
                }
            }
        }
    }

    rt::DateTime saveTime()
    {
        const QDate day = m_today.addDays(-m_random.between(1, 1095));
        const int micros = m_random.chance(50) ? m_random.between(0, 999) * 1000 + m_random.between(0, 999) : 0;
        return rt::DateTime(day, rt::Time(m_random.between(8, 18), m_random.between(0, 59), m_random.between(0, 59), micros));
    }

    Person makePerson(const QString &rprNo, int index, const QString &surname, bool male, int age, const QString &relation)
    {
        Person p;
        p.personNo = rprNo + digits(index, 2);
        p.male = male;
        p.age = std::max(0, age);
        p.relation = relation;
        p.birthday = m_today.addYears(-p.age).addDays(-m_random.between(1, 364));
        const QString given = male ? m_random.pick(V::maleGiven()) : m_random.pick(V::femaleGiven());
        p.name = surname + given;
        return p;
    }

    void household(int h)
    {
        const QString rprNo = QStringLiteral("320102") + digits(h + 1, 8);
        const int size = 1 + m_random.weighted({10, 20, 30, 20, 12, 8});
        const bool cancelled = m_random.chance(5);
        const QString surname = m_random.pick(V::surnames());
        const bool headMale = m_random.chance(75);
        const int headAge = m_random.between(size > 2 ? 30 : 22, 82);
        QList<Person> persons;
        persons << makePerson(rprNo, 1, surname, headMale, headAge, QStringLiteral("户主"));
        if (size >= 2 && m_random.chance(85)) {
            persons << makePerson(rprNo, 2, m_random.pick(V::surnames()), !headMale,
                                  headAge + m_random.between(-5, 5), headMale ? QStringLiteral("妻") : QStringLiteral("夫"));
            persons[0].married = persons[1].married = true;
        }
        while (persons.size() < size) {
            const int index = int(persons.size()) + 1;
            const int childAge = headAge - m_random.between(22, 38);
            if (childAge >= 0 && m_random.chance(80)) {
                const bool male = m_random.chance(52);
                persons << makePerson(rprNo, index, surname, male, childAge, male ? QStringLiteral("子") : QStringLiteral("女"));
            } else {
                const bool male = m_random.chance(45);
                persons << makePerson(rprNo, index, surname, male, std::min(99, headAge + m_random.between(22, 30)),
                                      male ? QStringLiteral("父亲") : QStringLiteral("母亲"));
                persons.last().married = true;
            }
        }
        for (Person &p : persons) {
            if (!p.married && p.age >= 24)
                p.married = m_random.chance(60);
        }

        Record rpr;
        rpr[QStringLiteral("RprNo")] = rprNo;
        rpr[QStringLiteral("hostname")] = persons[0].name;
        rpr[QStringLiteral("rprtype")] = m_random.chance(92) ? QStringLiteral("家庭户") : QStringLiteral("集体户");
        rpr[QStringLiteral("address")] = address();
        rpr[QStringLiteral("community")] = m_random.pick(V::communities());
        rpr[QStringLiteral("policestation")] = m_random.pick(V::policeStations());
        rpr[QStringLiteral("regdate")] = m_today.addDays(-m_random.between(400, 12000));
        rpr[QStringLiteral("membercount")] = int(persons.size());
        rpr[QStringLiteral("telephone")] = landline(m_random);
        rpr[QStringLiteral("postcode")] = QStringLiteral("210018");
        rpr[QStringLiteral("issave")] = QStringLiteral("0");
        store(QStringLiteral("ge_rpr"), rpr, !cancelled, IsSave::cancelledHousehold(), [this](Record &r) {
            if (m_random.chance(50))
                r[QStringLiteral("address")] = address();
            else
                r[QStringLiteral("telephone")] = landline(m_random);
        });

        const bool protectedFamily = m_random.chance(6);
        for (int i = 0; i < persons.size() && m_error.isEmpty(); ++i) {
            const bool removed = !cancelled && i > 0 && m_random.chance(4);
            const bool live = !cancelled && !removed;
            const QString gone = cancelled ? IsSave::cancelledHousehold() : IsSave::removedPerson();
            person(rprNo, persons[i], live, gone);
            related(persons[i], live, gone, protectedFamily && i == 0, int(persons.size()));
        }
    }

    QString address()
    {
        return QStringLiteral("南京市玄武区%1%2号%3幢%4室")
            .arg(m_random.pick(V::streets()))
            .arg(m_random.between(1, 320))
            .arg(m_random.between(1, 30))
            .arg(m_random.between(1, 6) * 100 + m_random.between(1, 4));
    }

    QString education(int age)
    {
        if (age < 6)
            return QStringLiteral("学龄前");
        if (age < 12)
            return QStringLiteral("小学");
        if (age < 15)
            return QStringLiteral("初中");
        if (age < 18)
            return QStringLiteral("高中");
        return m_random.pick(QStringList{QStringLiteral("小学"), QStringLiteral("初中"), QStringLiteral("高中"),
                                         QStringLiteral("中专"), QStringLiteral("大专"), QStringLiteral("本科"),
                                         QStringLiteral("本科"), QStringLiteral("硕士")});
    }

    void person(const QString &rprNo, const Person &p, bool live, const QString &gone)
    {
        Record r;
        r[QStringLiteral("PersonNo")] = p.personNo;
        r[QStringLiteral("RprNo")] = rprNo;
        r[QStringLiteral("personname")] = p.name;
        r[QStringLiteral("sex")] = p.male ? QStringLiteral("男") : QStringLiteral("女");
        r[QStringLiteral("birthday")] = p.birthday;
        const int sequence = m_random.between(0, 499) * 2 + (p.male ? 1 : 0);
        r[QStringLiteral("idcard")] = IdCardNumber::make(QStringLiteral("320102"), p.birthday, sequence);
        r[QStringLiteral("relation")] = p.relation;
        r[QStringLiteral("nation")] = m_random.pick(V::nations());
        r[QStringLiteral("education")] = education(p.age);
        r[QStringLiteral("marriage")] = p.age < 20 ? QStringLiteral("未婚")
                                        : p.married ? (p.age > 70 && m_random.chance(20) ? QStringLiteral("丧偶") : QStringLiteral("已婚"))
                                                    : (m_random.chance(10) ? QStringLiteral("离婚") : QStringLiteral("未婚"));
        r[QStringLiteral("politics")] = p.age >= 14 && p.age < 28 && m_random.chance(40)
                                            ? QStringLiteral("共青团员")
                                            : (p.age >= 18 && m_random.chance(12) ? QStringLiteral("中共党员") : QStringLiteral("群众"));
        r[QStringLiteral("birthplace")] = m_random.pick(V::birthplaces());
        r[QStringLiteral("issave")] = QStringLiteral("0");
        store(QStringLiteral("ge_personinfo"), r, live, gone, [this, &p](Record &v) {
            if (m_random.chance(50))
                v[QStringLiteral("education")] = education(p.age);
            else
                v[QStringLiteral("politics")] = QStringLiteral("群众");
        });
    }

    Record base(const QString &stem, const Person &p)
    {
        Record r;
        r[QStringLiteral("orderno")] = ++m_orderNo[stem];
        r[QStringLiteral("personno")] = p.personNo;
        r[QStringLiteral("issave")] = QStringLiteral("0");
        return r;
    }

    void related(const Person &p, bool live, const QString &gone, bool protectedHead, int familySize)
    {
        auto save = [&](const QString &stem, const Record &r, const std::function<void(Record &)> &mutate) {
            store(stem, r, live, gone, mutate);
        };
        if (m_random.chance(70)) {
            Record r = base(QStringLiteral("ge_personotherinfo"), p);
            r[QStringLiteral("bloodtype")] = m_random.pick(QStringList{QStringLiteral("A"), QStringLiteral("B"),
                                                                       QStringLiteral("O"), QStringLiteral("AB")});
            if (p.age >= 16)
                r[QStringLiteral("height")] = double(p.male ? m_random.between(160, 188) : m_random.between(150, 175))
                                              + m_random.between(0, 9) / 10.0;
            r[QStringLiteral("religion")] = m_random.pick(V::religions());
            r[QStringLiteral("military")] = p.male && p.age >= 18 ? (m_random.chance(10) ? QStringLiteral("退役") : QStringLiteral("未服兵役"))
                                                                  : QStringLiteral("无");
            if (p.age >= 12)
                r[QStringLiteral("mobile")] = phone(m_random);
            save(QStringLiteral("ge_personotherinfo"), r, [this](Record &v) { v[QStringLiteral("mobile")] = phone(m_random); });
        }
        const bool working = p.age >= 18 && p.age < 60 && m_random.chance(72);
        if (working) {
            Record r = base(QStringLiteral("ge_company"), p);
            r[QStringLiteral("company")] = m_random.pick(V::companies());
            r[QStringLiteral("occupation")] = m_random.pick(V::occupations());
            r[QStringLiteral("post")] = m_random.pick(V::posts());
            r[QStringLiteral("startdate")] = p.birthday.addYears(m_random.between(18, 24)).addDays(m_random.between(0, 300));
            r[QStringLiteral("salary")] = money(m_random, 2800, 18000);
            r[QStringLiteral("unitphone")] = landline(m_random);
            save(QStringLiteral("ge_company"), r, [this](Record &v) {
                v[QStringLiteral("company")] = m_random.pick(V::companies());
                v[QStringLiteral("salary")] = money(m_random, 2500, 12000);
            });
        }
        if (p.age >= 16 && m_random.chance(7)) {
            Record r = base(QStringLiteral("ge_foreignorregistry"), p);
            const QDate arrive = m_today.addDays(-m_random.between(30, 2000));
            r[QStringLiteral("permitno")] = QStringLiteral("ZZ3201") + digits(m_random.between(0, 99999999), 8);
            r[QStringLiteral("origin")] = m_random.pick(V::origins());
            r[QStringLiteral("arrivedate")] = arrive;
            r[QStringLiteral("arrivetime")] = rt::Time(m_random.between(5, 22), m_random.between(0, 59), m_random.between(0, 59));
            r[QStringLiteral("permitexpiry")] = arrive.addYears(1);
            r[QStringLiteral("reason")] = m_random.pick(V::stayReasons());
            r[QStringLiteral("residence")] = address();
            r[QStringLiteral("registertime")] = rt::DateTime(arrive.addDays(m_random.between(0, 5)),
                                                             rt::Time(m_random.between(8, 17), m_random.between(0, 59), 0));
            save(QStringLiteral("ge_foreignorregistry"), r, [this](Record &v) {
                v[QStringLiteral("permitexpiry")] = v[QStringLiteral("permitexpiry")].date().addYears(-1);
            });
        }
        if (protectedHead) {
            Record r = base(QStringLiteral("sv_mlpfamilyinfo"), p);
            r[QStringLiteral("certno")] = QStringLiteral("DB") + digits(m_random.between(0, 9999999), 7);
            r[QStringLiteral("familysize")] = familySize;
            r[QStringLiteral("monthincome")] = money(m_random, 300, 1500);
            r[QStringLiteral("allowance")] = money(m_random, 400, 1100);
            r[QStringLiteral("approvedate")] = m_today.addDays(-m_random.between(60, 2500));
            r[QStringLiteral("povertyreason")] = m_random.pick(V::povertyReasons());
            save(QStringLiteral("sv_mlpfamilyinfo"), r, [this](Record &v) { v[QStringLiteral("allowance")] = money(m_random, 300, 900); });
        }
        if (!working && p.age >= 18 && p.age < 60 && m_random.chance(40)) {
            Record r = base(QStringLiteral("sv_oowpersoninfo"), p);
            r[QStringLiteral("lostjobdate")] = m_today.addDays(-m_random.between(20, 900));
            r[QStringLiteral("formerunit")] = m_random.pick(V::companies());
            r[QStringLiteral("certno")] = QStringLiteral("SY") + digits(m_random.between(0, 9999999), 7);
            r[QStringLiteral("skill")] = m_random.pick(V::skills());
            r[QStringLiteral("jobwish")] = m_random.pick(V::jobWishes());
            if (m_random.chance(80))
                r[QStringLiteral("benefit")] = money(m_random, 900, 1800);
            save(QStringLiteral("sv_oowpersoninfo"), r, [this](Record &v) { v[QStringLiteral("jobwish")] = m_random.pick(V::jobWishes()); });
        }
        if (p.age >= 60) {
            Record r = base(QStringLiteral("sv_elderinfo"), p);
            r[QStringLiteral("health")] = m_random.pick(V::healthStates());
            r[QStringLiteral("living")] = m_random.pick(V::livingStates());
            r[QStringLiteral("pension")] = money(m_random, 800, 6500);
            r[QStringLiteral("pensiontype")] = m_random.pick(V::pensionTypes());
            r[QStringLiteral("contact")] = m_random.pick(V::surnames()) + m_random.pick(V::maleGiven());
            r[QStringLiteral("contactphone")] = phone(m_random);
            save(QStringLiteral("sv_elderinfo"), r, [this](Record &v) { v[QStringLiteral("health")] = m_random.pick(V::healthStates()); });
        }
        if (p.age < 14) {
            Record r = base(QStringLiteral("sv_children"), p);
            if (p.age >= 3)
                r[QStringLiteral("school")] = m_random.pick(V::schools());
            r[QStringLiteral("guardian")] = p.name.left(1) + m_random.pick(V::maleGiven());
            r[QStringLiteral("guardianphone")] = phone(m_random);
            r[QStringLiteral("vaccinedate")] = p.birthday.addDays(m_random.between(30, std::max(31, p.age * 365)));
            r[QStringLiteral("vaccine")] = m_random.pick(V::vaccines());
            save(QStringLiteral("sv_children"), r, [this](Record &v) { v[QStringLiteral("vaccine")] = m_random.pick(V::vaccines()); });
        }
        if (!p.male && p.age >= 15 && p.age <= 49 && (p.married || m_random.chance(20))) {
            Record r = base(QStringLiteral("mh_adultwomaninfo"), p);
            if (p.married)
                r[QStringLiteral("marriagedate")] = p.birthday.addYears(m_random.between(21, std::max(21, std::min(p.age, 32))));
            r[QStringLiteral("childcount")] = p.married ? m_random.weighted({25, 50, 22, 3}) : 0;
            r[QStringLiteral("contraception")] = m_random.pick(V::contraceptions());
            r[QStringLiteral("lastcheck")] = m_today.addDays(-m_random.between(10, 700));
            r[QStringLiteral("servicecertno")] = QStringLiteral("SF") + digits(m_random.between(0, 9999999), 7);
            save(QStringLiteral("mh_adultwomaninfo"), r, [this](Record &v) {
                v[QStringLiteral("contraception")] = m_random.pick(V::contraceptions());
            });
        }
    }

    rt::Transaction &m_live;
    rt::Transaction &m_history;
    DemoOptions m_options;
    DemoRandom m_random;
    DemoRandom m_duplicates;
    static constexpr int DuplicatePercent = 4;
    QDate m_today;
    QHash<QString, QList<QList<Value>>> m_liveRows, m_historyRows; // written in portions
    QHash<QString, std::int64_t> m_orderNo;
    QString m_error;
};

std::int64_t countRows(rt::Transaction &t, const QString &table)
{
    QList<Value> into{Value::null(rt::ValueType::Long)};
    t.selectInto(QStringLiteral("SELECT count(*) FROM %1").arg(rt::sqlIdentifier(table)), {}, into);
    return into[0].longValue();
}

} // namespace

std::int64_t DemoSummary::totalHistoryRows() const
{
    std::int64_t total = 0;
    for (const auto &t : historyRows)
        total += t.second;
    return total;
}

QString DemoSummary::describe() const
{
    QString out = QStringLiteral("Live register:   %1\nHistory file:    %2\n").arg(livePath, historyPath);
    out += QStringLiteral("%1  %2  %3\n")
               .arg(QStringLiteral("history table"), -24)
               .arg(QStringLiteral("history rows"), 13)
               .arg(QStringLiteral("live rows"), 10);
    for (int i = 0; i < liveRows.size() && i < historyRows.size(); ++i)
        out += QStringLiteral("%1  %2  %3\n").arg(historyRows[i].first, -24).arg(historyRows[i].second, 13).arg(liveRows[i].second, 10);
    out += QStringLiteral("History rows in all: %1\n").arg(totalHistoryRows());
    return out;
}

int DemoRegister::householdsForHistoryRows(std::int64_t rows)
{
    // About fourteen history rows come with each household (see the proportions above).
    return int(std::max<std::int64_t>(1, (rows + 13) / 14));
}

int DemoRegister::fill(rt::Transaction &live, rt::Transaction &history, const DemoOptions &options, DemoSummary &summary,
                       QString &errorText)
{
    Generator generator(live, history, options);
    if (!generator.run(errorText))
        return -1;
    summary.livePath = live.Database;
    summary.historyPath = history.Database;
    summary.liveRows.clear();
    summary.historyRows.clear();
    for (const TableDef &t : SchemaCatalogue::tables()) {
        summary.liveRows.append({t.liveTable, countRows(live, t.liveTable)});
        summary.historyRows.append({t.historyTable, countRows(history, t.historyTable)});
    }
    return 0;
}

int DemoRegister::create(const QString &dir, const DemoOptions &options, DemoSummary &summary, QString &errorText)
{
    // A folder made here is its owner's alone: the register holds identity numbers and
    // addresses. A folder that was there keeps its permissions (the operator chose it).
    const bool existed = QFileInfo::exists(dir);
    if (!QDir().mkpath(dir)) {
        errorText = QStringLiteral("cannot create the folder %1").arg(dir);
        return -1;
    }
    if (!existed)
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString livePath = QDir(dir).filePath(RegisterDatabases::liveFileName());
    const QString historyPath = QDir(dir).filePath(RegisterDatabases::historyFileName());
    if (RegisterDatabases::create(livePath, historyPath, errorText) != 0)
        return -1;
    rt::Transaction live(QStringLiteral("demo_live")), history(QStringLiteral("demo_history"));
    live.Database = livePath;
    history.Database = historyPath;
    if (live.connect() != 0 || history.connect() != 0) {
        errorText = live.SQLCode() == -1 ? live.SQLErrText() : history.SQLErrText();
        return -1;
    }
    if (fill(live, history, options, summary, errorText) != 0) {
        live.disconnect();
        history.disconnect();
        for (const QString &path : {livePath, historyPath}) {
            for (const QString &suffix : {QString(), QStringLiteral("-journal")})
                QFile::remove(path + suffix);
        }
        return -1;
    }
    return 0;
}

int DemoRegister::createServer(const QString &conninfo, const DemoOptions &options, DemoSummary &summary,
                               QString &errorText)
{
    if (RegisterDatabases::createServer(conninfo, errorText) != 0)
        return -1;
    rt::Transaction live(QStringLiteral("demo_live")), history(QStringLiteral("demo_history"));
    if (RegisterDatabases::connectServer(conninfo, live, history, errorText) != 0)
        return -1;
    if (fill(live, history, options, summary, errorText) != 0 || RegisterDatabases::resyncIdentities(live, errorText) != 0)
        return -1;
    // The made-up rows are the demo register's making, not changes to it: its audit trail
    // starts empty, as a new register's does.
    if (live.executeImmediate(QStringLiteral("TRUNCATE history.hm_audit RESTART IDENTITY")) == -1 || live.commit() != 0) {
        errorText = live.SQLErrText();
        live.rollback();
        return -1;
    }
    // Printed for the operator: never the password.
    summary.livePath = QStringLiteral("%1 (schema live)").arg(rt::PgConninfo::masked(conninfo));
    summary.historyPath = QStringLiteral("%1 (schema history)").arg(rt::PgConninfo::masked(conninfo));
    return 0;
}

} // namespace host
