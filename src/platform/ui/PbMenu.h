#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QMenu;
class QMenuBar;

namespace rt::ui {

class PbWindow;

// One item of a menu: name, text with an '&' accelerator ("-" is a separator), micro-help,
// enabled and visible, sub-items. Clicking it runs onClicked (subclasses) and emits clicked.
class PbMenuItem : public QObject
{
    Q_OBJECT
public:
    PbMenuItem(const QString &name, const QString &text, QObject *parent = nullptr);

    QString name() const { return objectName(); }
    QString Text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    QString MicroHelp() const { return m_microHelp; }
    void setMicroHelp(const QString &help) { m_microHelp = help; }
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }
    bool Visible() const { return m_visible; }
    void setVisible(bool on) { m_visible = on; }
    bool isSeparator() const { return m_text == QLatin1String("-"); }

    PbMenuItem *addItem(const QString &name, const QString &text, const QString &microHelp = QString());
    PbMenuItem *addSeparator(const QString &name);
    QList<PbMenuItem *> items() const { return m_items; }
    PbMenuItem *item(const QString &name) const; // searches sub-items at any depth

    // The window of the menu this item belongs to.
    PbWindow *ParentWindow() const;
    void trigger();

    // Fills a Qt menu with the visible sub-items.
    void fillMenu(QMenu *menu);

Q_SIGNALS:
    void clicked();

protected:
    virtual void onClicked() {}

private:
    QString m_text;
    QString m_microHelp;
    bool m_enabled = true;
    bool m_visible = true;
    QList<PbMenuItem *> m_items;
};

// A menu: the top level of items, shown as a window's menu bar or popped up.
class PbMenu : public PbMenuItem
{
    Q_OBJECT
public:
    explicit PbMenu(const QString &className, QObject *parent = nullptr);

    QString ClassName() const { return name(); }
    void setParentWindow(PbWindow *window);
    PbWindow *parentWindow() const;

    void fillMenuBar(QMenuBar *bar);
    // Pops up an item's sub-items at a position in units over the window (the window's
    // PointerX/PointerY); returns when the operator has chosen or dismissed.
    int PopMenu(PbMenuItem *item, int x, int y);
    // The same with the position taken over another window (the host's main window).
    int PopMenu(PbMenuItem *item, PbWindow *window, int x, int y);
    // The Qt menu of the last PopMenu, while it is open (for tests that choose an item).
    QMenu *openPopup() const { return m_popup; }

private:
    QPointer<QObject> m_window; // a PbWindow
    QMenu *m_popup = nullptr;
};

} // namespace rt::ui
