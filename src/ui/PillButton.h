#pragma once

#include "Button.h"
#include <QColor>

namespace kelvo {

// A small borderless action: an optional symbol and a word in white on a coloured rounded pill
// (16 px of margin left and right, 6 above and below, corner radius 6). An empty symbol name
// leaves the symbol out.
class PillButton : public Button {
    Q_OBJECT
public:
    PillButton(const QString& symbol, const QString& text, const QColor& fill,
               QWidget* parent = nullptr);

    void setContent(const QString& symbol, const QString& text, const QColor& fill);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_fill;
};

} // namespace kelvo
