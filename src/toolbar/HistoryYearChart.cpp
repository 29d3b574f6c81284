#include "toolbar/HistoryYearChart.h"

#include "platform/core/Functions.h"

#include <QPainter>
#include <QPaintEvent>
#include <algorithm>

namespace hm {

HistoryYearChart::HistoryYearChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("gr_years"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void HistoryYearChart::setRows(const QMap<int, long long> &rowsPerYear, const QString &title)
{
    m_rows = rowsPerYear;
    m_title = title;
    setToolTip(m_title);
    update();
}

QSize HistoryYearChart::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(QStringLiteral("0000")) * 8, fm.height() * 8);
}

void HistoryYearChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    const int line = fm.height();
    const QRect area = rect().adjusted(line / 2, line / 2, -line / 2, -line / 2);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(area.left(), area.top(), area.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(m_title, Qt::ElideRight, area.width()));
    const QRect plot(area.left(), area.top() + line * 2, area.width(), area.height() - line * 3);
    if (m_rows.isEmpty() || plot.height() <= 0) {
        p.drawText(plot, Qt::AlignCenter, QString::fromUtf8("没有历史记录"));
        return;
    }
    const long long most = std::max<long long>(1, *std::max_element(m_rows.cbegin(), m_rows.cend()));
    const int bars = int(m_rows.size());
    const int slot = std::max(1, plot.width() / bars);
    const int barWidth = std::max(2, slot * 2 / 3);
    // The figures are drawn only when they fit over their bars; each bar's tool tip is the
    // chart's, and the window's table has every figure.
    int widest = 0;
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
        widest = std::max(widest, fm.horizontalAdvance(rt::fn::Grouped(it.value())));
    const bool figures = widest <= slot;
    const bool years = fm.horizontalAdvance(QStringLiteral("0000")) <= slot;
    int i = 0;
    const QColor bar = palette().color(QPalette::Highlight);
    p.drawLine(plot.left(), plot.bottom() - line, plot.right(), plot.bottom() - line);
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it, ++i) {
        const int x = plot.left() + i * slot + (slot - barWidth) / 2;
        const int full = plot.height() - line * 2;
        const int h = int(double(it.value()) / double(most) * full);
        const QRect r(x, plot.bottom() - line - h, barWidth, h);
        p.fillRect(r, bar);
        if (figures)
            p.drawText(QRect(plot.left() + i * slot, r.top() - line, slot, line), Qt::AlignHCenter | Qt::AlignBottom,
                       rt::fn::Grouped(it.value()));
        if (years || i == 0 || i == bars - 1)
            p.drawText(QRect(plot.left() + i * slot, plot.bottom() - line, slot, line), Qt::AlignHCenter | Qt::AlignVCenter,
                       QString::number(it.key()));
    }
}

} // namespace hm
