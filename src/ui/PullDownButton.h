#pragma once

#include "Button.h"
#include <QColor>

#include <functional>
#include <optional>

class QMenu;

namespace kelvo {

// A pull-down chooser: a rounded label (an optional coloured dot and a text) that opens a menu
// built afresh at each click.
class PullDownButton : public Button {
    Q_OBJECT
public:
    using MenuBuilder = std::function<void(QMenu& menu)>;

    explicit PullDownButton(MenuBuilder builder, QWidget* parent = nullptr);

    // The label: `dot` in front when given; `placeholder` draws the text in the secondary colour.
    void setLabel(const QString& text, std::optional<QColor> dot, bool placeholder);
    std::optional<QColor> dotColor() const { return m_dot; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The menu as last built; it opens below the button on a click.
    QMenu* menu() const { return m_menu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Alt+Down opens the menu, as on a combo box (Space and Return do too, as on any button).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openMenu();

    MenuBuilder m_builder;
    QMenu* m_menu;
    std::optional<QColor> m_dot;
    bool m_placeholder = true;
};

} // namespace kelvo
