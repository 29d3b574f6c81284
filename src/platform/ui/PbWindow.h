#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QMenuBar;
class QVBoxLayout;

namespace rt::ui {

class PbMenu;
class MdiFrame;

// A window of the runtime. Sizes are in the runtime's units; controls live in client(), placed
// in units; the menu bar (if any) sits above the client area, so the resize event gets the
// client size. Subclasses script the standard events by overriding onOpen, onResize,
// onCloseQuery and onClose, and declare their user events and functions Q_INVOKABLE so they can
// be reached by name (LateBinding).
//
// Lifetime: a closed window is deleted later; IsValid() turns false as soon as it closes, so a
// reference kept elsewhere (QPointer) never dangles and never reaches a closing window.
class PbWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Main, Response, MdiFrame, Sheet, Popup };

    PbWindow(const QString &className, Kind kind, QWidget *parent = nullptr);
    ~PbWindow() override;

    QString ClassName() const { return m_className; }
    Kind kind() const { return m_kind; }
    bool isClosed() const { return m_closed; }

    QString Title() const { return windowTitle(); }
    void setTitle(const QString &title) { setWindowTitle(title); }
    void setIconName(const QString &icon);
    long BackColor() const { return m_backColor; }
    void setBackColor(long color);

    // Size and position in units. For a window the size is the client size.
    void setUnitsSize(int width, int height);
    int UnitsWidth() const;
    int UnitsHeight() const;
    void Move(int x, int y);
    void Resize(int width, int height) { setUnitsSize(width, height); }
    int X() const;
    int Y() const;

    QWidget *client() const { return m_client; }
    // A menu bar built from the menu; the window owns the menu.
    void setMenu(PbMenu *menu);
    PbMenu *menu() const { return m_menu; }
    QMenuBar *menuBar() const { return m_menuBar; }
    // Where the window's frame (an MDI frame for sheets) is.
    MdiFrame *parentFrame() const { return m_frame; }
    void setParentFrame(MdiFrame *frame) { m_frame = frame; }

    void Hide() { hide(); }
    void Show() { show(); }
    void SetRedraw(bool on);
    // The pointer's position over the client area, in units.
    int PointerX() const;
    int PointerY() const;

    // Runs closequery; unless it keeps the window open, runs close and closes. 1 closed, -1 kept.
    int Close();
    // For response windows: closes with an answer for Message.StringParm.
    int CloseWithReturn(const QString &answer);
    bool hasReturn() const { return m_hasReturn; }
    const QString &returnValue() const { return m_return; }

    // Called by Open/OpenSheet/OpenWithParm once the window's controls exist.
    void runOpen();

Q_SIGNALS:
    void closed();

protected:
    virtual void onOpen() {}
    // sizetype 0 normal; sizes of the client area in units.
    virtual void onResize(int sizetype, int newWidth, int newHeight);
    // Return 1 to keep the window open.
    virtual int onCloseQuery() { return 0; }
    virtual void onClose() {}

    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Key notifications (ue_keydown) of the window; the default ignores them.
    virtual void onKey(int key, Qt::KeyboardModifiers modifiers);

private:
    void finishClose();

    QString m_className;
    Kind m_kind;
    QWidget *m_client = nullptr;
    QVBoxLayout *m_layout = nullptr;
    QMenuBar *m_menuBar = nullptr;
    PbMenu *m_menu = nullptr;
    MdiFrame *m_frame = nullptr;
    long m_backColor = 67108864;
    bool m_closed = false;
    bool m_closing = false;
    bool m_opened = false;
    bool m_hasReturn = false;
    QString m_return;
};

bool IsValid(const QObject *object);

} // namespace rt::ui
