#include "PbWindow.h"

#include "ColorLong.h"
#include "MdiFrame.h"
#include "PbMenu.h"
#include "Pictures.h"
#include "Units.h"

#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

namespace rt::ui {

bool IsValid(const QObject *object)
{
    if (!object)
        return false;
    if (const auto *w = qobject_cast<const PbWindow *>(object))
        return !w->isClosed();
    return true;
}

PbWindow::PbWindow(const QString &className, Kind kind, QWidget *parent)
    : QWidget(parent), m_className(className), m_kind(kind)
{
    setObjectName(className);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setAutoFillBackground(true);
    m_layout->addWidget(m_client, 1);
    setBackColor(m_backColor);
    if (kind == Kind::Response) {
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        setWindowModality(Qt::ApplicationModal);
    }
}

PbWindow::~PbWindow() = default;

void PbWindow::setIconName(const QString &icon)
{
    const QPixmap p = Pictures::load(icon);
    if (!p.isNull())
        setWindowIcon(QIcon(p));
}

void PbWindow::setBackColor(long color)
{
    m_backColor = color;
    QPalette pal = m_client->palette();
    const QColor c = ColorLong::toColor(color, pal);
    if (c.isValid())
        pal.setColor(QPalette::Window, c);
    m_client->setPalette(pal);
}

void PbWindow::setUnitsSize(int width, int height)
{
    const int menuHeight = m_menuBar ? m_menuBar->sizeHint().height() : 0;
    const QSize px(Units::toPixelsX(width), Units::toPixelsY(height) + menuHeight);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->resize(sub->size() - size() + px);
    resize(px);
}

int PbWindow::UnitsWidth() const
{
    return Units::fromPixelsX(m_client->width());
}

int PbWindow::UnitsHeight() const
{
    return Units::fromPixelsY(m_client->height());
}

void PbWindow::Move(int x, int y)
{
    QWidget *w = qobject_cast<QMdiSubWindow *>(parentWidget()) ? parentWidget() : this;
    w->move(Units::toPixelsX(x), Units::toPixelsY(y));
}

int PbWindow::X() const
{
    const QWidget *w = qobject_cast<QMdiSubWindow *>(parentWidget()) ? parentWidget() : this;
    return Units::fromPixelsX(w->x());
}

int PbWindow::Y() const
{
    const QWidget *w = qobject_cast<QMdiSubWindow *>(parentWidget()) ? parentWidget() : this;
    return Units::fromPixelsY(w->y());
}

void PbWindow::setMenu(PbMenu *menu)
{
    m_menu = menu;
    if (!menu)
        return;
    menu->setParent(this);
    menu->setParentWindow(this);
    if (!m_menuBar) {
        m_menuBar = new QMenuBar(this);
        m_menuBar->setNativeMenuBar(false);
        m_layout->setMenuBar(m_menuBar);
    }
    menu->fillMenuBar(m_menuBar);
}

void PbWindow::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        update();
}

int PbWindow::PointerX() const
{
    return Units::fromPixelsX(m_client->mapFromGlobal(QCursor::pos()).x());
}

int PbWindow::PointerY() const
{
    return Units::fromPixelsY(m_client->mapFromGlobal(QCursor::pos()).y());
}

void PbWindow::runOpen()
{
    if (m_opened)
        return;
    m_opened = true;
    onOpen();
}

void PbWindow::onResize(int, int, int) {}

void PbWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_closed)
        return;
    // The layout has already fitted the client area (between the menu bar and any status line)
    // to the new size: that is the size the window's script lays its controls out in.
    onResize(0, Units::fromPixelsX(m_client->width()), Units::fromPixelsY(m_client->height()));
}

int PbWindow::Close()
{
    if (m_closed)
        return 1;
    if (onCloseQuery() == 1)
        return -1;
    finishClose();
    return 1;
}

int PbWindow::CloseWithReturn(const QString &answer)
{
    m_hasReturn = true;
    m_return = answer;
    return Close();
}

void PbWindow::finishClose()
{
    if (m_closing)
        return;
    m_closing = true;
    onClose();
    m_closed = true;
    hide();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        sub->hide();
        sub->deleteLater();
    } else {
        deleteLater();
    }
    Q_EMIT closed();
}

void PbWindow::closeEvent(QCloseEvent *event)
{
    // The title bar's close box: the same path as Close().
    if (m_closed) {
        event->accept();
        return;
    }
    if (onCloseQuery() == 1) {
        event->ignore();
        return;
    }
    event->ignore(); // finishClose hides and deletes the window itself
    finishClose();
}

void PbWindow::keyPressEvent(QKeyEvent *event)
{
    onKey(event->key(), event->modifiers());
    QWidget::keyPressEvent(event);
}

void PbWindow::onKey(int, Qt::KeyboardModifiers) {}

} // namespace rt::ui
