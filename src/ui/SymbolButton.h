#pragma once

#include "Button.h"
#include <QColor>

namespace kelvo {

// A borderless button that shows one symbol, optionally turned by `rotation` degrees about its
// centre (animatable).
class SymbolButton : public Button {
    Q_OBJECT
    Q_PROPERTY(qreal rotation READ rotation WRITE setRotation)
public:
    SymbolButton(const QString& symbol, const QColor& color, int pixelSize,
                 QWidget* parent = nullptr);

    qreal rotation() const { return m_rotation; }
    void setRotation(qreal degrees);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_color;
    int m_pixelSize;
    qreal m_rotation = 0;
};

} // namespace kelvo
