#include "toolbar/w_hisdelprompt.h"

#include "toolbar/BatchDeletion.h"

#include "host/ui/Globals.h"
#include "host/ui/ModuleWindows.h"
#include "platform/core/Transaction.h"
#include "platform/core/Functions.h"
#include "platform/ui/Controls.h"
#include "platform/ui/LateBinding.h"
#include "platform/ui/PbDropDownList.h"
#include "platform/ui/PbEditMask.h"
#include "platform/ui/PbPicture.h"
#include "platform/ui/PbWindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>

namespace hm {

namespace {

template<typename W>
W *control(QWidget *parent, const char *name, const char *text, int x, int y, int width, int height)
{
    auto *w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_same_v<W, QGroupBox>)
        w->setTitle(QString::fromUtf8(text));
    else if constexpr (!std::is_same_v<W, rt::ui::PbEditMask> && !std::is_same_v<W, rt::ui::PbDropDownList>)
        w->setText(QString::fromUtf8(text));
    rt::ui::Controls::setFont(w, QString::fromUtf8("宋体"), 9);
    rt::ui::Controls::place(w, x, y, width, height);
    return w;
}

rt::ui::PbPicture *button(QWidget *parent, const char *name, const char *picture, int x, int y, int width, int height)
{
    auto *p = new rt::ui::PbPicture(parent);
    p->setObjectName(QString::fromLatin1(name));
    rt::ui::Controls::place(p, x, y, width, height);
    p->setOriginalSize(true);
    p->setPictureName(QString::fromLatin1(picture));
    p->setCursor(Qt::PointingHandCursor);
    return p;
}

} // namespace

w_hisdelprompt::w_hisdelprompt(QWidget *parent) : host::w_response(QStringLiteral("w_hisdelprompt"), parent)
{
    setTitle(QString::fromUtf8("批量删除"));
    setIconName(QStringLiteral("AppIcon!"));
    setBackColor(67108864);
    QWidget *c = client();
    // Group boxes first, so the controls they frame lie above them.
    gb_1 = control<QGroupBox>(c, "gb_1", "选择删除范围", 55, 32, 1755, 192);
    gb_2 = control<QGroupBox>(c, "gb_2", "时间范围选择", 55, 240, 1755, 240);
    gb_3 = control<QGroupBox>(c, "gb_3", "删除种类选择", 55, 480, 1755, 288);
    rb_delkind = control<QRadioButton>(c, "rb_delkind", "删除种类", 256, 112, 421, 92);
    rb_deldate = control<QRadioButton>(c, "rb_deldate", "删除时间段", 951, 112, 430, 76);
    st_2 = control<QLabel>(c, "st_2", "时间段：", 110, 336, 402, 80);
    em_start = control<rt::ui::PbEditMask>(c, "em_start", "", 512, 320, 402, 84);
    em_start->setMask(QStringLiteral("yyyy-mm-dd"));
    st_3 = control<QLabel>(c, "st_3", "到", 933, 336, 91, 96);
    em_end = control<rt::ui::PbEditMask>(c, "em_end", "", 1006, 320, 402, 84);
    em_end->setMask(QStringLiteral("yyyy-mm-dd"));
    st_1 = control<QLabel>(c, "st_1", "删除种类：", 110, 608, 402, 80);
    // The height includes the opened list; closed, the list is one line high.
    ddlb_kind = control<rt::ui::PbDropDownList>(c, "ddlb_kind", "", 512, 592, 823, 84);
    ddlb_kind->setItems({QString::fromUtf8("删除两年前记录"), QString::fromUtf8("删除一年前记录"),
                         QString::fromUtf8("删除半年前记录"), QString::fromUtf8("删除三个月前记录"),
                         QString::fromUtf8("删除所有记录")});
    cbx_rpr = control<QCheckBox>(c, "cbx_rpr", "删除户中所有人的相关信息", 55, 768, 805, 64);
    cbx_rpr->setVisible(false);
    p_ok = button(c, "p_ok", "bmp\\cb_ok.bmp", 494, 848, 279, 96);
    p_close = button(c, "p_close", "bmp\\cb_close.bmp", 1042, 848, 279, 96);
    st_status = control<QLabel>(c, "st_status", "", 55, 968, 1755, 72);
    // The count line has a place of its own under the status: with the dates and the household
    // box's ten tables it is long, and it wraps into as many lines as it needs, five on show and
    // the rest scrolled to, never cut.
    countArea = new QScrollArea(c);
    countArea->setObjectName(QStringLiteral("countArea"));
    countArea->setFrameShape(QFrame::NoFrame);
    countArea->setWidgetResizable(true);
    countArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rt::ui::Controls::place(countArea, 55, 1040, 1755, 300);
    st_count = control<QLabel>(nullptr, "st_count", "", 0, 0, 1755, 300);
    st_count->setWordWrap(true);
    st_count->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    countArea->setWidget(st_count);
    countArea->viewport()->setAutoFillBackground(false);
    st_count->setAutoFillBackground(false);
    st_count->setToolTip(QString::fromUtf8("按当前的选择将删除的历史记录数"));
    // 确定 and 关闭 from the keyboard: Tab reaches them, Enter or Space presses them, Esc closes.
    p_ok->setKeyboardButton(true);
    p_close->setKeyboardButton(true);
    connect(rb_deldate, &QRadioButton::clicked, this, &w_hisdelprompt::rb_deldate_clicked);
    connect(rb_delkind, &QRadioButton::clicked, this, &w_hisdelprompt::rb_delkind_clicked);
    connect(p_ok, &rt::ui::PbPicture::clicked, this, &w_hisdelprompt::p_ok_clicked);
    connect(p_close, &rt::ui::PbPicture::clicked, this, &w_hisdelprompt::p_close_clicked);
    connect(rb_deldate, &QRadioButton::toggled, this, &w_hisdelprompt::refreshCount);
    connect(ddlb_kind, &QComboBox::currentIndexChanged, this, &w_hisdelprompt::refreshCount);
    connect(em_start, &QLineEdit::textChanged, this, &w_hisdelprompt::refreshCount);
    connect(em_end, &QLineEdit::textChanged, this, &w_hisdelprompt::refreshCount);
    connect(cbx_rpr, &QCheckBox::toggled, this, &w_hisdelprompt::refreshCount);
    connect(&m_counting, &QFutureWatcher<Counted>::finished, this, &w_hisdelprompt::countFinished);
    setUnitsSize(1888, 1460);
}

void w_hisdelprompt::onOpen()
{
    rb_deldate->setChecked(true);
    ddlb_kind->setEnabled(false);
    const QDate today = rt::fn::Today();
    em_start->setText(rt::fn::RelativeDate(today, 180).toString(QStringLiteral("yyyy-MM-dd")));
    em_end->setText(rt::fn::RelativeDate(today, 360).toString(QStringLiteral("yyyy-MM-dd")));
    rt::ui::PbWindow *sheet = nullptr;
    if (rt::ui::IsValid(host::ModuleWindows::w_histmanage()))
        rt::ui::LateBinding::callFunctionR(host::ModuleWindows::w_histmanage().data(), "GetActiveSheet", sheet);
    if (rt::ui::IsValid(sheet) && sheet->ClassName() == QLatin1String("w_histabsheet")) {
        QString title;
        rt::ui::LateBinding::callFunctionR(sheet, "wf_gettitle", title);
        if (title == QString::fromUtf8("户籍信息"))
            cbx_rpr->setVisible(true);
    }
    refreshCount();
    // Centred over the screen's available area.
    if (const QWidget *anchor = parentWidget() ? parentWidget()->window() : nullptr)
        move(anchor->geometry().center() - rect().center());
}

void w_hisdelprompt::rb_deldate_clicked()
{
    ddlb_kind->setEnabled(false);
    em_start->setEnabled(true);
    em_end->setEnabled(true);
}

void w_hisdelprompt::rb_delkind_clicked()
{
    ddlb_kind->setEnabled(true);
    em_start->setEnabled(false);
    em_end->setEnabled(false);
}

void w_hisdelprompt::onKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape)
        p_close_clicked();
}

void w_hisdelprompt::p_close_clicked()
{
    Close();
}

BatchRequest w_hisdelprompt::request() const
{
    BatchRequest r;
    r.byKind = rb_delkind->isChecked();
    r.byRange = rb_deldate->isChecked();
    r.kind = ddlb_kind->Text();
    r.startText = em_start->Text();
    r.endText = em_end->Text();
    r.start = em_start->date();
    r.end = em_end->date();
    r.householdTicked = cbx_rpr->isChecked();
    return r;
}

w_hisdelprompt::~w_hisdelprompt()
{
    // A count still running is stopped, not waited for: closing the dialog is immediate.
    m_recount = false;
    if (m_counter && m_counting.isRunning())
        m_counter->cancel();
    m_counting.waitForFinished(); // the count's connection goes with the dialog
}

void w_hisdelprompt::refreshCount()
{
    rt::ui::DataWindowControl *grid = BatchDeletion::currentGrid();
    QString refusal;
    m_queries = grid ? BatchDeletion::countQueries(grid, request(), refusal, &m_when) : QList<BatchDeletion::CountQuery>();
    if (m_queries.isEmpty()) {
        m_recount = false;
        // A count still running is shown no more once it arrives.
        m_shown = !m_counting.isRunning();
        st_count->setText(refusal);
        return;
    }
    if (m_counting.isRunning()) {
        m_recount = true;
        return;
    }
    startCount();
}

void w_hisdelprompt::startCount()
{
    if (!m_counter) {
        // A second connection to the history, as photosqlca is made.
        m_counter = std::make_unique<rt::Transaction>(QStringLiteral("count"));
        m_counter->copySettingsFrom(host::g().photosqlca);
    }
    m_recount = false;
    m_shown = false;
    st_count->setText(QString::fromUtf8("%1：正在计算将删除的记录数…").arg(m_when));
    rt::Transaction *t = m_counter.get();
    const QList<BatchDeletion::CountQuery> queries = m_queries;
    m_counting.setFuture(QtConcurrent::run([t, queries]() {
        Counted c;
        if (!t->isConnected() && t->connect() != 0) {
            c.error = t->SQLErrText();
            return c;
        }
        c.counts = BatchDeletion::runCounts(*t, queries, c.error);
        return c;
    }));
}

void w_hisdelprompt::countFinished()
{
    if (m_recount) {
        startCount();
        return;
    }
    const Counted c = m_counting.result();
    if (m_queries.isEmpty()) {
        m_shown = true; // the choice is refused now: its refusal stays shown
        return;
    }
    m_shown = true;
    m_counted = c.counts;
    m_countedError = c.error;
    st_count->setText(c.error.isEmpty() ? BatchDeletion::countText(m_when, c.counts)
                                        : QString::fromUtf8("无法计算将删除的记录数：") + c.error);
}

void w_hisdelprompt::waitForCount()
{
    while (!m_shown || m_counting.isRunning() || m_recount) {
        m_counting.waitForFinished();
        QCoreApplication::processEvents(); // delivers finished, which may start the next count
    }
}

void w_hisdelprompt::p_ok_clicked()
{
    // The count on show is the question's, when it is that of the present choice; otherwise the
    // deletion counts afresh.
    const QList<std::pair<QString, long>> *counted = nullptr;
    if (m_shown && !m_recount && !m_counting.isRunning() && m_countedError.isEmpty() && !m_queries.isEmpty()) {
        QString refusal;
        rt::ui::DataWindowControl *grid = BatchDeletion::currentGrid();
        const QList<BatchDeletion::CountQuery> now = grid ? BatchDeletion::countQueries(grid, request(), refusal)
                                                          : QList<BatchDeletion::CountQuery>();
        bool same = now.size() == m_queries.size();
        for (qsizetype i = 0; same && i < now.size(); ++i)
            same = now[i].table == m_queries[i].table && now[i].sql == m_queries[i].sql && now[i].params == m_queries[i].params;
        if (same)
            counted = &m_counted;
    }
    // The field at fault, for the focus once its refusal has been told.
    const BatchRequest asked = request();
    QWidget *atFault = nullptr;
    if (asked.byRange)
        atFault = !asked.start.isValid() ? em_start : (!asked.end.isValid() ? em_end : (asked.start > asked.end ? em_start : nullptr));
    else if (asked.byKind && asked.kind.isEmpty())
        atFault = ddlb_kind;
    // A count still running reads the history file: it would hold the deletion's COMMIT back.
    if (m_counting.isRunning()) {
        m_recount = false;
        m_counter->cancel();
        m_counting.waitForFinished();
    }
    const QString status = BatchDeletion::run(asked, counted);
    if (!status.isNull())
        st_status->setText(status);
    refreshCount();
    if (atFault) {
        atFault->setFocus(Qt::OtherFocusReason);
        if (auto *edit = qobject_cast<QLineEdit *>(atFault))
            edit->selectAll();
    }
}

} // namespace hm
