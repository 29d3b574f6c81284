#pragma once

#include <QString>
#include <QWidget>

namespace rt::ui {

class PbTab;

// A tab page: its Text is the tab's caption, its Tag a free string; colours as colour longs.
class PbTabPage : public QWidget
{
    Q_OBJECT
public:
    explicit PbTabPage(const QString &className, QWidget *parent = nullptr);

    QString ClassName() const { return m_className; }
    QString Text() const { return m_text; }
    void setText(const QString &text);
    QString Tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }
    void setColors(long textColor, long backColor);
    long TabTextColor() const { return m_textColor; }
    long TabBackColor() const { return m_backColor; }
    // Inside a tab control the page takes the control's page area (the runtime sizes tab pages
    // itself); outside one, the size given.
    void setUnitsSize(int width, int height);
    int UnitsWidth() const;
    int UnitsHeight() const;
    PbTab *tab() const;

    // The page's constructor event: runs once the page object exists (while OpenTabWithParm's
    // parameter is still in Message.StringParm), before it is added to the tab.
    virtual void constructor() {}

private:
    QString m_className;
    QString m_text;
    QString m_tag;
    long m_textColor = 33554432;
    long m_backColor = 67108864;
};

} // namespace rt::ui
