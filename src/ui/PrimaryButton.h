#pragma once

#include "Button.h"
#include <QColor>
#include <QTimer>

namespace kelvo {

// The full-width action button of the sign-in screens: white semibold text on a rounded fill,
// with a small white spinner in front of the text while busy.
class PrimaryButton : public Button {
    Q_OBJECT
public:
    explicit PrimaryButton(QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    QColor fill() const { return m_fill; }
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    bool m_busy = false;
    int m_step = 0;
    QTimer m_frames;
};

} // namespace kelvo
