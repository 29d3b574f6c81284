#include "PbDropDownList.h"

namespace rt::ui {

PbDropDownList::PbDropDownList(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
}

void PbDropDownList::setItems(const QStringList &items)
{
    clear();
    addItems(items);
    setCurrentIndex(-1);
}

int PbDropDownList::SelectItem(int index)
{
    if (index < 0 || index > count())
        return -1;
    setCurrentIndex(index - 1);
    return index;
}

} // namespace rt::ui
