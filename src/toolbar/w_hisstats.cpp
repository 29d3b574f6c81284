#include "toolbar/w_hisstats.h"

#include "host/ui/DateField.h"
#include "host/ui/Globals.h"
#include "host/ui/ScreenFit.h"
#include "model/Category.h"
#include "platform/core/Functions.h"
#include "platform/ui/OperatorDialogs.h"
#include "platform/core/Transaction.h"
#include "model/maintenance/DedupeRun.h"
#include "toolbar/HistoryYearChart.h"
#include "model/maintenance/StatsRead.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QKeyEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hm {

namespace {
const QString BoxTitle = QString::fromUtf8("提示");

QString sizeText(long long bytes)
{
    if (bytes < 0)
        return QString::fromUtf8("历史数据大小：未知");
    return QString::fromUtf8("历史数据大小：%1").arg(QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(bytes));
}

QString timeText(const std::optional<QDateTime> &t)
{
    return t ? t->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QTableWidgetItem *figure(long long n)
{
    auto *item = new QTableWidgetItem(n < 0 ? QString() : rt::fn::Grouped(n));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}
} // namespace

w_hisstats::w_hisstats(QWidget *parent) : host::w_response(QStringLiteral("w_hisstats"), parent)
{
    setTitle(QString::fromUtf8("历史统计"));
    QWidget *c = client();
    categories = new QTableWidget(c);
    categories->setObjectName(QStringLiteral("categories"));
    categories->setColumnCount(6);
    categories->setHorizontalHeaderLabels({QString::fromUtf8("类别"), QString::fromUtf8("历史记录数"),
                                           QString::fromUtf8("重复快照"), QString::fromUtf8("最早保存时间"),
                                           QString::fromUtf8("最新保存时间"), QString::fromUtf8("预计删除")});
    categories->setEditTriggers(QAbstractItemView::NoEditTriggers);
    categories->setSelectionBehavior(QAbstractItemView::SelectRows);
    categories->setSelectionMode(QAbstractItemView::SingleSelection);
    categories->setTabKeyNavigation(false); // Tab goes on; the arrows choose the category
    categories->setWordWrap(false);
    categories->verticalHeader()->setVisible(false);
    categories->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    categories->horizontalHeader()->setStretchLastSection(true);
    chart = new HistoryYearChart(c);
    st_size = new QLabel(c);
    st_size->setObjectName(QStringLiteral("st_size"));
    st_status = new QLabel(c);
    st_status->setObjectName(QStringLiteral("st_status"));
    st_status->setWordWrap(true);

    ddlb_age = new QComboBox(c);
    ddlb_age->setObjectName(QStringLiteral("ddlb_age"));
    ddlb_age->addItems({QString::fromUtf8("早于 N 年前"), QString::fromUtf8("早于 N 个月前"), QString::fromUtf8("早于 N 天前"),
                        QString::fromUtf8("早于日期")});
    em_age = new QSpinBox(c);
    em_age->setObjectName(QStringLiteral("em_age"));
    em_age->setRange(0, 36500);
    em_age->setValue(5);
    de_before = new host::DateField(c);
    de_before->setObjectName(QStringLiteral("de_before"));
    de_before->setDate(QDate::currentDate().addYears(-5));
    de_before->setEnabled(false);
    em_keeplast = new QSpinBox(c);
    em_keeplast->setObjectName(QStringLiteral("em_keeplast"));
    em_keeplast->setRange(0, 100000);
    em_keeplast->setSpecialValueText(QString::fromUtf8("不保留"));
    cb_preview = new QPushButton(QString::fromUtf8("预计删除(&P)"), c);
    cb_dedupe = new QPushButton(QString::fromUtf8("去除重复快照(&D)..."), c);
    cb_refresh = new QPushButton(QString::fromUtf8("刷新(&R)"), c);
    cb_close = new QPushButton(QString::fromUtf8("关闭(&C)"), c);

    auto *ageLabel = new QLabel(QString::fromUtf8("删除"), c);
    ageLabel->setBuddy(ddlb_age);
    auto *keepLabel = new QLabel(QString::fromUtf8("每条记录保留最近"), c);
    keepLabel->setBuddy(em_keeplast);
    // Two lines, so that the policy's words stay whole at the window's narrowest.
    auto *policy = new QGridLayout;
    policy->addWidget(ageLabel, 0, 0);
    policy->addWidget(ddlb_age, 0, 1);
    policy->addWidget(em_age, 0, 2);
    policy->addWidget(de_before, 0, 3);
    policy->addWidget(keepLabel, 1, 0);
    policy->addWidget(em_keeplast, 1, 1);
    policy->addWidget(new QLabel(QString::fromUtf8("份快照"), c), 1, 2);
    policy->addWidget(cb_preview, 1, 3);
    policy->setColumnStretch(4, 1);
    for (QLabel *l : {ageLabel, keepLabel})
        l->setMinimumWidth(l->sizeHint().width());
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(st_status, 1);
    buttons->addWidget(cb_dedupe);
    buttons->addWidget(cb_refresh);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(c);
    layout->addWidget(categories, 3);
    layout->addWidget(chart, 2);
    layout->addWidget(st_size);
    layout->addLayout(policy);
    layout->addLayout(buttons);

    connect(ddlb_age, &QComboBox::currentIndexChanged, this, [this](int age) {
        em_age->setEnabled(age != Date);
        de_before->setEnabled(age == Date);
    });
    connect(categories, &QTableWidget::currentCellChanged, this, [this]() { showChart(); });
    connect(cb_preview, &QPushButton::clicked, this, [this]() { preview(); });
    connect(de_before, &host::DateField::submitted, this, [this]() { preview(); });
    connect(cb_dedupe, &QPushButton::clicked, this, [this]() { dedupe(); });
    connect(cb_refresh, &QPushButton::clicked, this, [this]() { refresh(); });
    connect(cb_close, &QPushButton::clicked, this, [this]() { Close(); });
    setUnitsSize(4200, 2600);
    m_read = std::make_unique<model::StatsRead>(host::g().photosqlca);
}

void w_hisstats::keyPressEvent(QKeyEvent *event)
{
    // Esc from any control that leaves it unanswered (none here edits with it).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Close();
        return;
    }
    host::w_response::keyPressEvent(event);
}

w_hisstats::~w_hisstats() = default;

void w_hisstats::onOpen()
{
    host::ScreenFit::keepOnScreen(this);
    refresh();
    if (!isClosed())
        categories->setFocus(Qt::OtherFocusReason);
}

int w_hisstats::onCloseQuery()
{
    // The work on the stack of this window's functions ends first (its connection, its
    // outcome to tell); then the window closes.
    if (m_working) {
        m_closeAsked = true;
        return 1;
    }
    return 0;
}

bool w_hisstats::closeIfAsked()
{
    if (!m_closeAsked)
        return false;
    m_closeAsked = false;
    Close();
    return true;
}

bool w_hisstats::runAside(rt::ui::AsideWait::Dialog face, const std::function<void()> &work,
                          const std::function<void()> &stop, const std::function<void()> &whileStopping)
{
    face.stopText = QString::fromUtf8("停止");
    face.objectName = QStringLiteral("stats_progress");
    face.parent = this;
    face.progressAfterMs = options.progressAfterMs;
    if (face.percent) {
        // Work still at it is never shown done.
        face.percent = [percent = face.percent] { return std::min(percent(), 99); };
    }
    m_working = true;
    rt::ui::AsideWait wait({.dialog = std::move(face), .stop = [&stop] {
                                stop();
                                return true;
                            },
                            .whileStopping = whileStopping});
    const bool whole = wait.run(work);
    m_working = false;
    return whole;
}

int w_hisstats::refresh()
{
    if (m_working)
        return -1;
    if (!m_read->connect()) {
        st_status->setText(QString::fromUtf8("读取历史统计失败：%1").arg(m_read->lastError()));
        return -1;
    }
    m_read->reset();
    // The engine reads every category in one call and cannot say which it is at.
    const QString counting = QString::fromUtf8("正在统计：各类别的历史记录数、各年份的记录数和重复快照……");
    st_status->setText(counting);
    model::HistoryMaintenance::Stats read;
    QString error;
    int rc = -1;
    const std::function<void()> hook = options.beforeRead;
    model::StatsRead *reader = m_read.get();
    const bool whole = runAside({QString::fromUtf8("历史统计"), [counting] { return counting; }, {}, QString::fromUtf8("正在停止统计……")},
                                [&, hook, reader] {
                                    if (hook)
                                        hook();
                                    rc = reader->stats(read, error);
                                },
                                [reader] { reader->stop(); }, [reader] { reader->stop(); });
    if (closeIfAsked())
        return -1;
    if (!whole || rc != 0) {
        // What was read is not shown; figures a deletion has made wrong are not shown either.
        if (m_stale) {
            m_stats = model::HistoryMaintenance::Stats();
            showFigures();
        }
        st_status->setText(!whole ? QString::fromUtf8("统计已停止。") : QString::fromUtf8("读取历史统计失败：%1").arg(error));
        return -1;
    }
    m_stats = read;
    m_stale = false;
    showFigures();
    st_status->clear();
    return 0;
}

void w_hisstats::showFigures()
{
    const int was = std::max(0, categories->currentRow());
    const QSignalBlocker quiet(categories);
    if (m_stats.categories.isEmpty()) {
        categories->setRowCount(0);
        st_size->setText(sizeText(m_stats.historyBytes));
        showChart();
        return;
    }
    categories->setRowCount(int(m_stats.categories.size()) + 1);
    long long rows = 0, duplicates = 0;
    std::optional<QDateTime> oldest, newest;
    for (int r = 0; r < m_stats.categories.size(); ++r) {
        const auto &s = m_stats.categories[r];
        categories->setItem(r, Name, new QTableWidgetItem(s.category ? s.category->tabText : QString()));
        categories->setItem(r, Rows, figure(s.rows));
        categories->setItem(r, Duplicates, figure(s.duplicates));
        categories->setItem(r, Oldest, new QTableWidgetItem(timeText(s.oldest)));
        categories->setItem(r, Newest, new QTableWidgetItem(timeText(s.newest)));
        categories->setItem(r, Preview, new QTableWidgetItem());
        rows += s.rows;
        duplicates += s.duplicates;
        if (s.oldest && (!oldest || *s.oldest < *oldest))
            oldest = s.oldest;
        if (s.newest && (!newest || *s.newest > *newest))
            newest = s.newest;
    }
    const int total = int(m_stats.categories.size());
    categories->setItem(total, Name, new QTableWidgetItem(QString::fromUtf8("合计")));
    categories->setItem(total, Rows, figure(rows));
    categories->setItem(total, Duplicates, figure(duplicates));
    categories->setItem(total, Oldest, new QTableWidgetItem(timeText(oldest)));
    categories->setItem(total, Newest, new QTableWidgetItem(timeText(newest)));
    categories->setItem(total, Preview, new QTableWidgetItem());
    categories->setCurrentCell(std::min(was, total), Name);
    st_size->setText(sizeText(m_stats.historyBytes));
    showChart();
}

void w_hisstats::clearPreview()
{
    for (int r = 0; r < categories->rowCount(); ++r) {
        if (QTableWidgetItem *item = categories->item(r, Preview))
            item->setText(QString());
    }
}

QList<const model::Category *> w_hisstats::chosen() const
{
    QList<const model::Category *> out;
    const int r = categories->currentRow();
    for (int i = 0; i < m_stats.categories.size(); ++i) {
        if (r == i || r == m_stats.categories.size())
            out << m_stats.categories[i].category;
    }
    return out;
}

void w_hisstats::showChart()
{
    const int r = categories->currentRow();
    QMap<int, long long> years;
    QString name;
    if (r >= 0 && r < m_stats.categories.size()) {
        years = m_stats.categories[r].rowsPerYear;
        name = m_stats.categories[r].category ? m_stats.categories[r].category->tabText : QString();
    } else {
        for (const auto &s : m_stats.categories) {
            for (auto it = s.rowsPerYear.cbegin(); it != s.rowsPerYear.cend(); ++it)
                years[it.key()] += it.value();
        }
        name = QString::fromUtf8("全部类别");
    }
    chart->setRows(years, QString::fromUtf8("%1 各年份（保存时间）的历史记录数").arg(name));
}

QDate w_hisstats::policyDate() const
{
    const QDate today = QDate::currentDate();
    switch (ddlb_age->currentIndex()) {
    case Years:
        return today.addYears(-em_age->value());
    case Months:
        return today.addMonths(-em_age->value());
    case Days:
        return today.addDays(-em_age->value());
    default:
        return de_before->date();
    }
}

int w_hisstats::preview()
{
    if (m_working)
        return -1;
    const QDate before = policyDate();
    if (!before.isValid()) {
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("日期不正确，请按“年-月-日”输入一个存在的日期。"));
        de_before->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    QList<const model::Category *> counted;
    for (const auto &s : m_stats.categories)
        counted << s.category; // the engine names every category it read
    if (counted.isEmpty()) {
        st_status->setText(QString::fromUtf8("没有统计数字，无法预计删除；请先刷新。"));
        return -1;
    }
    if (!m_read->connect()) {
        st_status->setText(QString::fromUtf8("预计删除未能算出：%1").arg(m_read->lastError()));
        return -1;
    }
    m_read->reset();
    model::HistoryMaintenance::PurgePolicy policy;
    policy.before = before;
    policy.keepLast = em_keeplast->value();
    // Figures of an earlier policy would be read as this one's while it is counted.
    clearPreview();
    st_status->setText(QString::fromUtf8("正在计算预计删除……"));
    QList<long long> rows;
    QString error;
    int rc = -1;
    const std::function<void()> hook = options.beforeRead;
    model::StatsRead *reader = m_read.get();
    const auto label = [reader, counted] {
        const int at = reader->at();
        return at >= 0 && at < counted.size() ? QString::fromUtf8("正在计算预计删除：%1……").arg(counted[at]->tabText)
                                              : QString::fromUtf8("正在计算预计删除……");
    };
    const auto percent = [reader, counted] { return std::max(0, reader->at()) * 100 / int(counted.size()); };
    const bool whole = runAside({QString::fromUtf8("预计删除"), label, percent, QString::fromUtf8("正在停止计算……")},
                                [&, hook, reader] {
                                    if (hook)
                                        hook();
                                    rc = reader->preview(counted, policy, rows, error);
                                },
                                [reader] { reader->stop(); }, [reader] { reader->stop(); });
    if (closeIfAsked())
        return -1;
    if (!whole) {
        st_status->setText(QString::fromUtf8("预计删除已停止。"));
        return -1;
    }
    if (rc != 0) {
        const int at = std::clamp(m_read->at(), 0, int(counted.size()) - 1);
        st_status->setText(QString::fromUtf8("预计删除未能算出（%1）：%2").arg(counted[at]->tabText, error));
        return -1;
    }
    long long all = 0;
    for (int r = 0; r < rows.size(); ++r) {
        categories->item(r, Preview)->setText(rt::fn::Grouped(rows[r]));
        categories->item(r, Preview)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        all += rows[r];
    }
    QTableWidgetItem *total = categories->item(int(m_stats.categories.size()), Preview);
    total->setText(rt::fn::Grouped(all));
    total->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    st_status->setText(QString::fromUtf8("预计删除 %1 之前保存的历史记录%2：共 %3 条（仅统计，未删除）。")
                           .arg(before.toString(QStringLiteral("yyyy-MM-dd")),
                                em_keeplast->value() > 0 ? QString::fromUtf8("，每条记录保留最近 %1 份").arg(em_keeplast->value())
                                                         : QString(),
                                rt::fn::Grouped(all)));
    return 0;
}

long long w_hisstats::dedupe()
{
    if (m_working)
        return 0;
    if (m_stats.categories.isEmpty()) {
        // No figures read (a first read stopped or failed): nothing is known of duplicates.
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("还没有统计数字，请先点击“刷新”。"));
        return 0;
    }
    const QList<const model::Category *> targets = chosen();
    long long found = 0;
    for (const auto &s : m_stats.categories) {
        if (targets.contains(s.category))
            found += s.duplicates;
    }
    if (targets.isEmpty() || found == 0) {
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("没有重复快照。"));
        return 0;
    }
    if (rt::ui::MessageBox(BoxTitle,
                           QString::fromUtf8("将删除 %1 条重复快照（与上一状态相同的历史记录）%2，每个状态保留最早的一份。确定吗？")
                               .arg(rt::fn::Grouped(found),
                                    targets.size() == 1 ? QString::fromUtf8("，类别：") + targets.first()->tabText
                                                        : QString::fromUtf8("，全部类别")),
                           rt::ui::MsgIcon::Question, rt::ui::MsgButtons::YesNo, 2)
        != 1)
        return 0;

    model::DedupeRun::Work work;
    work.categories = targets;
    for (const model::Category *c : targets) {
        long long confirmed = 0;
        for (const auto &s : m_stats.categories) {
            if (s.category == c)
                confirmed = s.duplicates;
        }
        work.confirmed << confirmed;
    }
    work.chunkRows = options.chunkRows;
    work.optionsText = QString::fromUtf8("历史统计：去除重复快照");
    work.afterChunk = options.afterChunk;
    rt::Transaction &history = host::g().photosqlca;
    model::DedupeRun job(host::g().sqlca, history, work);
    const auto label = [&job, targets] {
        const int at = job.category();
        if (at < 0 || at >= targets.size())
            return QString::fromUtf8("正在去除重复快照……");
        return QString::fromUtf8(job.selecting() ? "正在去除重复快照：%1（正在查找），已删除 %2 条" : "正在去除重复快照：%1，已删除 %2 条")
            .arg(targets[at]->tabText, rt::fn::Grouped(job.deleted()));
    };
    const auto percent = [&job, found] { return int(std::min<long long>(99, job.deleted() * 100 / found)); };
    model::DedupeRun::Outcome outcome = model::DedupeRun::Outcome::Failed;
    st_status->setText(QString::fromUtf8("正在去除重复快照……"));
    // The history connection is the deletion's until it has ended: a grid behind that would
    // read its next page as it is painted waits.
    history.setLent(true);
    runAside({QString::fromUtf8("去除重复快照"), label, percent, QString::fromUtf8("正在停止：正在删除的这一块删完即停止……")},
             [&job, &outcome] { outcome = job.run(); }, [&job] { job.stop(); }, [&job] { job.stop(); });
    history.setLent(false);
    const long long deleted = job.deleted();
    if (deleted > 0)
        m_stale = true;
    st_status->clear();
    const QString done = QString::fromUtf8("已删除 %1 条重复快照。").arg(rt::fn::Grouped(deleted));
    if (outcome == model::DedupeRun::Outcome::Failed)
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("去除重复快照失败。%1\n此前%2").arg(job.failure(), done), rt::ui::MsgIcon::StopSign);
    else if (outcome == model::DedupeRun::Outcome::Stopped)
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("已停止。%1其余的重复快照未删除。").arg(done));
    else if (outcome == model::DedupeRun::Outcome::Changed)
        // Never more than the operator was told: the figures are read again and asked anew.
    {
        QStringList untouched;
        for (int i = job.changed().category + 1; i < targets.size(); ++i)
            untouched << targets[i]->tabText;
        rt::ui::MessageBox(BoxTitle, QString::fromUtf8("%1的重复快照已有变化：确认时为 %2 条，现在为 %3 条，这一类别%4没有删除。%5"
                                                       "统计将重新读取，请核对后再去除重复快照。")
                                         .arg(targets[job.changed().category]->tabText, rt::fn::Grouped(job.changed().confirmed),
                                              rt::fn::Grouped(job.changed().found),
                                              untouched.isEmpty() ? QString()
                                                                  : QString::fromUtf8("和其后的%1").arg(untouched.join(QString::fromUtf8("、"))),
                                              deleted > 0 ? done : QString()));
    }
    else
        rt::ui::MessageBox(BoxTitle, done);
    const long long result = outcome == model::DedupeRun::Outcome::Failed ? -1 : deleted;
    if (closeIfAsked())
        return result;
    refresh();
    return result;
}

} // namespace hm
