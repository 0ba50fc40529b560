#pragma once

#include <QProxyStyle>

namespace kelvo {

// The application's style for forms of standard controls (the preferences), with edges that can
// be seen on the dark theme: check boxes, fields, spin boxes and lists get a grey edge (over 3:1
// against the window), blue while they have the keyboard's focus, and a checked box is filled
// blue with a white tick.
class FormStyle : public QProxyStyle {
    Q_OBJECT
public:
    FormStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
};

} // namespace kelvo
