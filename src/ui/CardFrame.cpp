#include "CardFrame.h"

#include <QPainter>
#include <QPainterPath>

namespace kelvo {

CardFrame::CardFrame(const Look& look, QWidget* parent) : QWidget(parent), m_look(look) {}

void CardFrame::setLook(const Look& look) {
    m_look = look;
    update();
}

void CardFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_look.fill.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_look.fill);
        painter.drawRoundedRect(QRectF(rect()), m_look.cornerRadius, m_look.cornerRadius);
    }
    if (m_look.border.alpha() > 0 && m_look.borderWidth > 0) {
        const qreal inset = m_look.borderWidth / 2;
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_look.cornerRadius, m_look.cornerRadius);
        painter.setClipPath(clip);
        painter.setPen(QPen(m_look.border, m_look.borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset),
                                m_look.borderRadius, m_look.borderRadius);
    }
}

} // namespace kelvo
