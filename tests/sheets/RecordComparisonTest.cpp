#include "RecoveryFixture.h"
#include "Faults.h"

#include "record/ComparisonTable.h"
#include "record/RecordComparison.h"
#include "record/w_hiscompare.h"
#include "record/w_hismodify.h"
#include "host/ui/HostWindows.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

// The history row beside the live record with its key, field by field.
class RecordComparisonTest : public RecoveryFixture
{
protected:
    // The differing fields' captions, and one field by caption.
    QStringList differing(const char *grid, const QString &where)
    {
        rt::DataStore history;
        EXPECT_EQ(history.SetDataObject(QString::fromLatin1(grid)), 1);
        history.SetSQLSelect(history.GetSQLSelect() + QStringLiteral(" WHERE ") + where);
        history.SetTransObject(&host::g().photosqlca);
        EXPECT_EQ(history.Retrieve(), 1);
        fields = hm::RecordComparison::compare(history, 1, host::g().sqlca, found, readError);
        QStringList out;
        for (const auto &f : fields) {
            if (f.differs)
                out << f.caption;
        }
        return out;
    }
    const hm::RecordComparison::Field *field(const char *caption) const
    {
        for (const auto &f : fields) {
            if (f.caption == QString::fromUtf8(caption))
                return &f;
        }
        return nullptr;
    }
    void putLive(const char *sql)
    {
        ASSERT_EQ(host::g().sqlca.executeImmediate(QString::fromUtf8(sql)), 0) << host::g().sqlca.SQLErrText().toStdString();
        ASSERT_EQ(host::g().sqlca.commit(), 0);
    }

    QList<hm::RecordComparison::Field> fields;
    bool found = false;
    QString readError;
};

// RWN-05
TEST_F(RecordComparisonTest, ChangedNullAndUnchangedFieldsAgainstTheLiveRecord)
{
    // P3: the live row has the name and household, but no sex and birthday; issave differs.
    EXPECT_EQ(differing("dh_ge_personinfo", QStringLiteral("PersonNo = 'P3'")),
              (QStringList{QString::fromUtf8("性别"), QString::fromUtf8("出生日期"), QString::fromUtf8("保存标志")}));
    EXPECT_TRUE(found);
    ASSERT_NE(field("性别"), nullptr);
    EXPECT_EQ(field("性别")->history, QString::fromUtf8("男"));
    EXPECT_EQ(field("性别")->live, QString()) << "a null against a value differs";
    EXPECT_FALSE(field("姓名")->differs);
    EXPECT_EQ(field("保存时间"), nullptr) << "SaveTime is not compared";
    // No live record at all.
    EXPECT_TRUE(differing("dh_ge_personinfo", QStringLiteral("PersonNo = 'P8'")).isEmpty());
    EXPECT_FALSE(found);
    EXPECT_TRUE(readError.isEmpty());
}

// A live read that fails is told as a failure, never as "当前无此记录".
// REC-02
TEST_F(RecordComparisonTest, AFailedLiveReadIsNotAMissingRecord)
{
    host::g().sqlca.injectFault(lockedAt("FROM ge_personinfo"));
    differing("dh_ge_personinfo", QStringLiteral("PersonNo = 'P3'"));
    host::g().sqlca.clearInjectedFaults();
    EXPECT_FALSE(found);
    EXPECT_EQ(readError, QStringLiteral("database is locked"));
    EXPECT_EQ(hm::ComparisonTable::statusText(found, readError), QString::fromUtf8("读取现有记录失败：database is locked"));
    EXPECT_EQ(hm::ComparisonTable::statusText(false, QString()), QString::fromUtf8("当前无此记录"));
}

// RWN-05
TEST_F(RecordComparisonTest, DecimalsAndDatetimesCompareExactly)
{
    putLive("INSERT INTO sv_elderinfo (personno, health, pension, issave) VALUES ('P1', '良好', '200.75', '5')");
    EXPECT_TRUE(differing("dh_sv_elderinfo", QStringLiteral("orderno = 12")).contains(QString::fromUtf8("序号")))
        << "the live table numbers its own rows";
    EXPECT_FALSE(field("养老金(元)")->differs) << "200.75 = 200.75";
    EXPECT_TRUE(differing("dh_sv_elderinfo", QStringLiteral("orderno = 11")).contains(QString::fromUtf8("养老金(元)")));
    EXPECT_EQ(field("养老金(元)")->history, QStringLiteral("100.50"));
    putLive("INSERT INTO ge_foreignorregistry (personno, permitno, arrivedate, arrivetime, registertime, issave) VALUES "
            "('P2', 'ZZ-1', '2024-03-03', '08:30:00', '2024-03-03 14:15:17', '1')");
    EXPECT_EQ(differing("dh_ge_foreignorregistry", QStringLiteral("personno = 'P2'")).filter(QString::fromUtf8("登记时间")).size(), 1)
        << "one second apart";
    EXPECT_FALSE(field("到达时间")->differs);
    EXPECT_FALSE(field("来本地日期")->differs);
}

// RWN-05
TEST_F(RecordComparisonTest, TheRecordWindowOpensItReadOnly)
{
    host::HostWindows::registerWindows();
    gridAt("p_personinfo", "PersonNo", QStringLiteral("P1"));
    bool missing = false;
    long liveRows = -1;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *record = qobject_cast<hm::w_hismodify *>(w);
        ASSERT_NE(record, nullptr);
        op.onNextResponseWindow([&](rt::ui::PbWindow *c) {
            auto *compare = qobject_cast<hm::w_hiscompare *>(c);
            ASSERT_NE(compare, nullptr);
            missing = !compare->liveFound();
            EXPECT_EQ(compare->fields->editTriggers(), QAbstractItemView::NoEditTriggers);
            compare->Close();
        });
        record->cb_compare->click();
        liveRows = live(QStringLiteral("SELECT count(*) FROM ge_personinfo"));
        record->Close();
    });
    qobject_cast<hm::uo_tabpg_hisgrid *>(personalPage()->tab_1->Control().value(0))->ue_enter();
    op.clearHooks();
    EXPECT_TRUE(missing) << "当前无此记录";
    EXPECT_EQ(liveRows, 1) << "nothing written";
}

// 对比当前 at its design size, with the longest address the register holds on one side: every
// column, 差异 included, is in view without scrolling sideways, and every value and caption can
// be read whole; it opens on the first field that differs, and Esc closes it.
// RWN-06
TEST_F(RecordComparisonTest, EveryColumnReadsWholeAtTheDesignSizeAndEscCloses)
{
    host::HostWindows::registerWindows();
    const QString address = QString::fromUtf8("江苏省南京市玄武区北京东路二号院内第三幢二单元十七层一七零三室北京东路与太平北路交叉口东北角往东一百米路南紧邻玄武湖公园");
    ASSERT_EQ(address.size(), 60) << "the column's width";
    ASSERT_EQ(host::g().sqlca.execute(QStringLiteral("UPDATE ge_rpr SET address = ?, community = ? WHERE RprNo = 'R2'"),
                                      {address, address.left(30)}),
              0);
    ASSERT_EQ(host::g().sqlca.commit(), 0);
    gridAt("p_rprinfo", "RprNo", QStringLiteral("R2"));
    bool shown = false;
    op.onNextResponseWindow([&](rt::ui::PbWindow *w) {
        auto *record = qobject_cast<hm::w_hismodify *>(w);
        ASSERT_NE(record, nullptr);
        op.onNextResponseWindow([&](rt::ui::PbWindow *c) {
            auto *compare = qobject_cast<hm::w_hiscompare *>(c);
            ASSERT_NE(compare, nullptr);
            shown = true;
            const QTableWidget *t = compare->fields;
            const QHeaderView *h = t->horizontalHeader();
            ASSERT_EQ(t->columnCount(), 4);
            ASSERT_GT(t->rowCount(), 8);
            // The text of a cell sits inside the cell's margins on either side.
            const int margin = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1);
            for (int c = 0; c < t->columnCount(); ++c) {
                const QString caption = t->horizontalHeaderItem(c)->text();
                EXPECT_GE(h->sectionViewportPosition(c), 0) << caption.toStdString();
                EXPECT_LE(h->sectionViewportPosition(c) + h->sectionSize(c), t->viewport()->width())
                    << caption.toStdString() << " is in view";
                EXPECT_LT(h->fontMetrics().horizontalAdvance(caption), h->sectionSize(c)) << caption.toStdString();
                for (int r = 0; r < t->rowCount(); ++r) {
                    const QString text = t->item(r, c)->text();
                    const QRect needed = t->fontMetrics().boundingRect(QRect(0, 0, h->sectionSize(c) - margin, 100000),
                                                                        Qt::TextWordWrap, text);
                    EXPECT_LE(needed.width(), h->sectionSize(c) - margin) << text.toStdString();
                    EXPECT_LE(needed.height(), t->rowHeight(r)) << text.toStdString() << " shows every line";
                }
            }
            // The first difference (住址, the live record's long address) is in view.
            int first = -1;
            for (int r = 0; r < compare->comparison().size() && first < 0; ++r)
                first = compare->comparison()[r].differs ? r : -1;
            ASSERT_GE(first, 0);
            EXPECT_TRUE(t->viewport()->rect().contains(t->visualItemRect(t->item(first, 3))));
            QTest::keyClick(compare->focusWidget() ? compare->focusWidget() : compare, Qt::Key_Escape);
            EXPECT_TRUE(compare->isClosed()) << "Esc closes it";
            if (!compare->isClosed())
                compare->Close();
        });
        record->cb_compare->click();
        record->Close();
    });
    singlePage()->ue_enter();
    op.clearHooks();
    EXPECT_TRUE(shown);
}
