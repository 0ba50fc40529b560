#include "MenuStyle.h"

#include "ControlBox.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace kelvo {

MenuStyle::MenuStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item || item->maxIconWidth != 0 ||
        item->menuItemType != QStyleOptionMenuItem::Normal ||
        item->checkType != QStyleOptionMenuItem::NotCheckable) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The base style draws the item's background and selection; the text goes where an icon
    // would start, as far in as the chooser's own label.
    QStyleOptionMenuItem background(*item);
    background.text.clear();
    QProxyStyle::drawControl(element, &background, painter, widget);
    const bool selected = item->state & State_Selected && item->state & State_Enabled;
    int flags = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (!proxy()->styleHint(SH_UnderlineShortcut, item, widget)) {
        flags |= Qt::TextHideMnemonic;
    }
    const QRect text =
        item->rect.adjusted(ControlBox::horizontalPadding, 0, -ControlBox::horizontalPadding, 0);
    painter->save();
    painter->setFont(item->font);
    painter->setPen(selected ? item->palette.highlightedText().color()
                             : item->palette.text().color());
    painter->drawText(
        text, flags, QFontMetrics(item->font).elidedText(item->text, Qt::ElideRight, text.width()));
    painter->restore();
}

} // namespace kelvo
