#include "LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionHeader>

namespace {

QString nameOf(const QWidget *w)
{
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_"))) {
            name = p->objectName() + QLatin1Char('/') + name;
            break;
        }
    }
    return name;
}

// Inside the scrolled content of a scroll area (or an item view's cells): laid out to scroll.
bool scrolls(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (auto *area = qobject_cast<const QAbstractScrollArea *>(p->parentWidget()); area && area->viewport() == p)
            return true;
    }
    return false;
}

QString size(QSize s)
{
    return QStringLiteral("%1 × %2").arg(s.width()).arg(s.height());
}

void checkLabel(const QLabel *label, QStringList &out)
{
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText || !label->pixmap().isNull())
        return;
    const QRect room = label->contentsRect().adjusted(label->indent() > 0 ? label->indent() : 0, 0, 0, 0);
    if (label->wordWrap()) {
        const int needed = label->heightForWidth(label->width());
        if (needed > label->height() + 1)
            out << QStringLiteral("%1: wrapped text needs %2 px high, has %3").arg(nameOf(label)).arg(needed).arg(label->height());
        return;
    }
    const QSize needed = label->fontMetrics().size(0, label->text());
    if (needed.width() > room.width() + 1 || needed.height() > room.height() + 1)
        out << QStringLiteral("%1: text needs %2 px, has %3").arg(nameOf(label), size(needed), size(room.size()));
}

void checkButton(const QAbstractButton *button, QStringList &out)
{
    if (button->text().isEmpty())
        return;
    QSize needed = button->sizeHint();
    if (qobject_cast<const QPushButton *>(button)) {
        // The text with the style's margins and frame, not the style's smallest button width.
        const QStyle *style = button->style();
        needed.setWidth(button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width()
                        + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                        + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button)
                        + (button->icon().isNull() ? 0 : button->iconSize().width() + 4));
    }
    if (needed.width() > button->width() + 1)
        out << QStringLiteral("%1 \"%2\": needs %3 px wide, has %4")
                   .arg(nameOf(button), button->text())
                   .arg(needed.width())
                   .arg(button->width());
}

void checkHeader(const QHeaderView *header, QStringList &out)
{
    const QAbstractItemModel *model = header->model();
    if (!model || header->orientation() != Qt::Horizontal)
        return;
    for (int s = 0; s < header->count(); ++s) {
        if (header->isSectionHidden(s))
            continue;
        // The section's caption with the style's own margins, as the header paints it.
        QStyleOptionHeader option;
        option.initFrom(header);
        option.text = model->headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
        option.section = s;
        const int needed = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
        if (!option.text.isEmpty() && needed > header->sectionSize(s) + 1)
            out << QStringLiteral("%1 column \"%2\": needs %3 px, has %4").arg(nameOf(header), option.text).arg(needed).arg(header->sectionSize(s));
    }
}

} // namespace

QStringList LayoutCheck::problems(QWidget *window)
{
    QStringList out;
    const QRect inside = window->rect();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->isWindow() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (!scrolls(w)) {
            const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
            if (!inside.adjusted(-1, -1, 1, 1).contains(at))
                out << QStringLiteral("%1: lies at %2,%3 %4, outside the window's %5")
                           .arg(nameOf(w))
                           .arg(at.x())
                           .arg(at.y())
                           .arg(size(at.size()), size(inside.size()));
        }
        if (auto *label = qobject_cast<QLabel *>(w); label && !scrolls(w))
            checkLabel(label, out);
        else if (auto *button = qobject_cast<QAbstractButton *>(w); button && !scrolls(w))
            checkButton(button, out);
        else if (auto *header = qobject_cast<QHeaderView *>(w))
            checkHeader(header, out);
    }
    return out;
}
