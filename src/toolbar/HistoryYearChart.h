#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

namespace hm {

// A bar chart of history rows per year of SaveTime, drawn with the painter: a bar a year, oldest
// on the left, each with its year under it and its rows above it (thousands separated), so the
// figures are read without the bars' heights. An empty chart says there is nothing to show.
class HistoryYearChart : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryYearChart(QWidget *parent = nullptr);

    // The rows of each year; `title` is drawn over the bars ("个人信息 各年份的历史记录数").
    void setRows(const QMap<int, long long> &rowsPerYear, const QString &title);
    const QMap<int, long long> &rows() const { return m_rows; }

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QMap<int, long long> m_rows;
    QString m_title;
};

} // namespace hm
