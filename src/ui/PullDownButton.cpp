#include "PullDownButton.h"

#include "ControlBox.h"
#include "FocusRing.h"
#include "MenuStyle.h"
#include "Theme.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace kelvo {

namespace {
constexpr int dotSize = 8;
constexpr int spacing = 6;
} // namespace

PullDownButton::PullDownButton(MenuBuilder builder, QWidget* parent)
    : Button(parent)
    , m_builder(std::move(builder))
    , m_menu(new QMenu(this)) {
    auto* style = new MenuStyle;
    style->setParent(m_menu);
    m_menu->setStyle(style);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, &PullDownButton::openMenu);
}

void PullDownButton::setLabel(const QString& text, std::optional<QColor> dot, bool placeholder) {
    setText(text);
    m_dot = dot;
    m_placeholder = placeholder;
    update();
}

QSize PullDownButton::sizeHint() const {
    return {160, ControlBox::height(fontMetrics())};
}

QSize PullDownButton::minimumSizeHint() const {
    return {60, sizeHint().height()};
}

void PullDownButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
        click();
        return;
    }
    Button::keyPressEvent(event);
}

void PullDownButton::openMenu() {
    m_menu->clear();
    m_builder(*m_menu);
    m_menu->setMinimumWidth(width());
    m_menu->popup(mapToGlobal(QPoint(0, height() + 2)));
}

void PullDownButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ControlBox::paint(painter, rect(), isEnabled(), FocusRing::shows(*this));
    QRectF content =
        QRectF(rect()).adjusted(ControlBox::horizontalPadding, ControlBox::verticalPadding,
                                -ControlBox::horizontalPadding - 12, -ControlBox::verticalPadding);
    if (m_dot) {
        painter.setPen(Qt::NoPen); // not the focus edge the box was drawn with
        painter.setBrush(*m_dot);
        painter.drawEllipse(
            QRectF(content.left(), content.center().y() - dotSize / 2.0, dotSize, dotSize));
        content.setLeft(content.left() + dotSize + spacing);
    }
    painter.setPen(m_placeholder ? Theme::secondaryText() : Theme::primaryText());
    painter.drawText(content, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(text(), Qt::ElideRight, int(content.width())));
    // A small chevron tells that a menu opens.
    const QPointF tip(width() - ControlBox::horizontalPadding - 4, height() / 2.0 + 2);
    painter.setPen(QPen(Theme::secondaryText(), 1.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(tip + QPointF(-4, -4), tip);
    painter.drawLine(tip, tip + QPointF(4, -4));
}

} // namespace kelvo
