#include "FormStyle.h"

#include "FocusRing.h"
#include "Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

namespace kelvo {

namespace {

QColor edgeOf(const QStyleOption* option, const QWidget* widget) {
    const bool focused = widget ? FocusRing::shows(*widget) : option->state & QStyle::State_HasFocus;
    return focused ? Theme::blue() : Theme::grey();
}

void drawEdge(QPainter* painter, const QRectF& rect, const QColor& color, qreal radius) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(color, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter->restore();
}

void drawCheckBox(QPainter* painter, const QStyleOption* option) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (!(option->state & QStyle::State_Enabled)) {
        painter->setOpacity(0.5);
    }
    const QRectF box = QRectF(option->rect).adjusted(1, 1, -1, -1);
    const bool checked = option->state & QStyle::State_On;
    painter->setPen(checked ? Qt::NoPen : QPen(Theme::grey(), 1.5));
    painter->setBrush(checked ? Theme::blueFill() : Theme::controlBackground());
    painter->drawRoundedRect(box, 3, 3);
    if (checked) {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.72);
        tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.30);
        painter->setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(tick);
    }
    painter->restore();
}

} // namespace

FormStyle::FormStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void FormStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
    switch (element) {
    case PE_IndicatorCheckBox:
        drawCheckBox(painter, option);
        return;
    case PE_FrameLineEdit:
        drawEdge(painter, option->rect, edgeOf(option, widget), 4);
        return;
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void FormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ComboBox || control == CC_SpinBox) {
        drawEdge(painter, option->rect, edgeOf(option, widget), 4);
    }
}

} // namespace kelvo
