#include "PrimaryButton.h"

#include "Spinner.h"
#include "Theme.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

namespace {
constexpr int padding = 10;
constexpr int spinnerSize = 13; // 0.8 of the usual 16
constexpr int spacing = 8;
} // namespace

PrimaryButton::PrimaryButton(QWidget* parent) : Button(parent), m_fill(Theme::blueFill()) {
    setFont(Theme::font(Theme::TextStyle::body, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_frames.setInterval(83);
    connect(&m_frames, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void PrimaryButton::setFill(const QColor& fill) {
    m_fill = fill;
    update();
}

void PrimaryButton::setBusy(bool busy) {
    m_busy = busy;
    busy ? m_frames.start() : m_frames.stop();
    update();
}

QSize PrimaryButton::sizeHint() const {
    return {200, fontMetrics().height() + 2 * padding};
}

void PrimaryButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.setOpacity(isDown() ? 0.8 : 1.0);
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int contentWidth = textWidth + (m_busy ? spinnerSize + spacing : 0);
    qreal x = (width() - contentWidth) / 2.0;
    if (m_busy) {
        Spinner::paint(painter, QRectF(x, (height() - spinnerSize) / 2.0, spinnerSize, spinnerSize),
                       Qt::white, m_step);
        x += spinnerSize + spacing;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft,
                     text());
    FocusRing::paint(painter, *this, rect(), 8);
}

} // namespace kelvo
