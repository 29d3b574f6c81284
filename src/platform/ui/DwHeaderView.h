#pragma once

#include <QHeaderView>

namespace rt {
class DataStore;
}

namespace rt::ui {

// The grid's column headers, drawn from the header band's <column>_t texts with their border,
// background colour and mode (1 transparent) and text colour.
class DwHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    DwHeaderView(const rt::DataStore &store, QWidget *parent = nullptr);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    const rt::DataStore &m_ds;
};

} // namespace rt::ui
