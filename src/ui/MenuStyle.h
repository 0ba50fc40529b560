#pragma once

#include <QProxyStyle>

namespace kelvo {

// The application's style for the choosers' menus, with one difference: a menu whose items have
// no icons keeps no empty column for them, so its texts start at the edge where the icons of a
// menu with icons would.
class MenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    MenuStyle();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

} // namespace kelvo
