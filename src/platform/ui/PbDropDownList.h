#pragma once

#include <QComboBox>

namespace rt::ui {

// A drop-down list without free typing; it starts with no item selected, so Text() is "".
class PbDropDownList : public QComboBox
{
    Q_OBJECT
public:
    explicit PbDropDownList(QWidget *parent = nullptr);
    void setItems(const QStringList &items);
    QString Text() const { return currentIndex() < 0 ? QString(QLatin1String("")) : currentText(); }
    // 1-based like the runtime; 0 clears the selection.
    int SelectItem(int index);
};

} // namespace rt::ui
