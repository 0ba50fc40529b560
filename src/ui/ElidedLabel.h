#pragma once

#include <QColor>
#include <QWidget>

namespace kelvo {

// One line of text cut off at the end with an ellipsis when it does not fit.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(const QFont& font, const QColor& color, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};

} // namespace kelvo
