#pragma once

#include <QColor>
#include <QWidget>

namespace kelvo {

// A container drawn as a rounded rectangle: an optional fill and a thin border drawn over it.
class CardFrame : public QWidget {
    Q_OBJECT
public:
    struct Look {
        QColor fill = Qt::transparent;
        qreal cornerRadius = 12;
        QColor border = Qt::transparent;
        qreal borderWidth = 1;
        qreal borderRadius = 12;
    };

    explicit CardFrame(const Look& look, QWidget* parent = nullptr);
    void setLook(const Look& look);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_look;
};

} // namespace kelvo
