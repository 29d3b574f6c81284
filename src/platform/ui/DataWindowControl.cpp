#include "DataWindowControl.h"

#include "Units.h"

namespace rt::ui {

DataWindowControl::DataWindowControl(QWidget *parent) : QWidget(parent)
{
    m_ds.setDbErrorHandler([this](long code, const QString &text, const QString &sql, rt::DwBuffer, long row) {
        Q_EMIT dberror(code, text, sql, row);
    });
}

DataWindowControl::~DataWindowControl() = default;

void DataWindowControl::setUnitsGeometry(int x, int y, int width, int height)
{
    setGeometry(Units::toPixels(x, y, std::max(0, width), std::max(0, height)));
}

int DataWindowControl::X() const
{
    return Units::fromPixelsX(x());
}
int DataWindowControl::Y() const
{
    return Units::fromPixelsY(y());
}
int DataWindowControl::Width() const
{
    return Units::fromPixelsX(width());
}
int DataWindowControl::Height() const
{
    return Units::fromPixelsY(height());
}
void DataWindowControl::setX(int v)
{
    move(Units::toPixelsX(v), y());
}
void DataWindowControl::setY(int v)
{
    move(x(), Units::toPixelsY(v));
}
void DataWindowControl::setWidth(int v)
{
    resize(Units::toPixelsX(std::max(0, v)), height());
}
void DataWindowControl::setHeight(int v)
{
    resize(width(), Units::toPixelsY(std::max(0, v)));
}

void DataWindowControl::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        update();
}

int DataWindowControl::SelectRow(long row, bool select)
{
    const long n = RowCount();
    if (row < 0 || row > n)
        return -1;
    m_selected.resize(std::size_t(n), false);
    if (row == 0)
        std::fill(m_selected.begin(), m_selected.end(), select);
    else
        m_selected[std::size_t(row - 1)] = select;
    Q_EMIT selectionChanged();
    update();
    return 1;
}

bool DataWindowControl::IsSelected(long row) const
{
    return row >= 1 && std::size_t(row) <= m_selected.size() && m_selected[std::size_t(row - 1)];
}

} // namespace rt::ui
