#pragma once

#include "Button.h"

namespace kelvo {

// A borderless round button: a filled circle with either the white play symbol or a white
// rounded square (stop) centred on it.
class CircleButton : public Button {
    Q_OBJECT
public:
    enum class Content { play, stop };

    CircleButton(Content content, const QColor& fill, int diameter, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }
    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Content m_content;
    QColor m_fill;
    int m_diameter;
};

} // namespace kelvo
