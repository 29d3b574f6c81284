#pragma once

#include "Message.h"
#include "PbTabPage.h"

#include <QTabWidget>
#include <functional>

namespace rt::ui {

// A tab control. Indexes are 1-based like the runtime's. selectionchanged(old, new) runs when
// the selected page changes, by the operator or by SelectTab; clicked(index) on a click on a tab.
class PbTab : public QTabWidget
{
    Q_OBJECT
public:
    explicit PbTab(QWidget *parent = nullptr);

    // Adds a page made by the factory; while it is made, Message.StringParm holds parm.
    // index 0 appends. Returns the page, or null.
    PbTabPage *OpenTabWithParm(const std::function<PbTabPage *()> &factory, const QString &parm, int index = 0);
    template<typename T>
    T *OpenTabWithParm(const QString &parm, int index = 0)
    {
        return static_cast<T *>(OpenTabWithParm([]() -> PbTabPage * { return new T(); }, parm, index));
    }
    PbTabPage *OpenTab(PbTabPage *page, int index = 0);
    int CloseTab(PbTabPage *page);
    int SelectTab(int index);
    int SelectTab(PbTabPage *page);
    int SelectedTab() const { return currentIndex() + 1; }
    // The pages in tab order (the runtime's Control[]).
    QList<PbTabPage *> Control() const;
    int pageCount() const { return count(); }

    void setUnitsGeometry(int x, int y, int width, int height);
    int UnitsWidth() const;
    int UnitsHeight() const;
    void setColors(long textColor, long backColor);

    void pageTextChanged(PbTabPage *page);

Q_SIGNALS:
    void selectionchanged(int oldindex, int newindex);
    void tabClicked(int index);

protected:
    // The control's own scripts; subclasses call the ancestor's first.
    virtual void onSelectionChanged(int oldindex, int newindex);
    virtual void onClicked(int index);

private:
    int m_lastIndex = 0; // 1-based, 0 = none
    bool m_adding = false;
};

} // namespace rt::ui
