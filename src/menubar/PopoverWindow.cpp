#include "PopoverWindow.h"

#include "MenuBarView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace kelvo {

namespace {
constexpr int popoverWidth = 300;
constexpr int popoverHeight = 400;
// A click on the item closes an open popover as an outside click; the same click then arrives
// as an activation, which must not open it again.
constexpr int reopenGuardMs = 300;
} // namespace

PopoverWindow::PopoverWindow(MenuBarView* view)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint)
    , m_view(view) {
    setObjectName(QStringLiteral("popover"));
    setFixedSize(popoverWidth, popoverHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

void PopoverWindow::toggleBelow(const QRect& anchor) {
    if (isVisible()) {
        close();
        return;
    }
    if (m_closed.isValid() && m_closed.elapsed() < reopenGuardMs) {
        return;
    }
    showBelow(anchor);
}

QPoint PopoverWindow::placement(const QRect& anchor, const QPoint& cursor, const QRect& available) {
    const QRect from = anchor.isValid() ? anchor : QRect(cursor, QSize(1, 1));
    QPoint at(from.center().x() - popoverWidth / 2, from.bottom() + 1);
    // A tray at the bottom of the screen: hang above the item instead of below it.
    if (at.y() + popoverHeight > available.bottom() + 1) {
        at.setY(from.top() - popoverHeight);
    }
    at.setX(qBound(available.left(), at.x(), available.right() + 1 - popoverWidth));
    at.setY(qBound(available.top(), at.y(), available.bottom() + 1 - popoverHeight));
    return at;
}

void PopoverWindow::showBelow(const QRect& anchor) {
    m_anchor = anchor;
    const QPoint cursor = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(anchor.isValid() ? anchor.center() : cursor);
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    move(placement(anchor, cursor, screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080)));
    show();
    activateWindow();
}

void PopoverWindow::showEvent(QShowEvent*) {
    if (focusWidget() == nullptr || !focusWidget()->isVisible()) {
        focusNextChild();
    }
}

void PopoverWindow::hideEvent(QHideEvent*) {
    m_closed.start();
    Q_EMIT closed();
}

void PopoverWindow::mousePressEvent(QMouseEvent* event) {
    // The popover holds the pointer, so a press on the tray item arrives here. A right press
    // there leaves it open; any other press outside it closes it. (Where the tray does not say
    // where its item is, the anchor is empty and every outside press closes it.)
    if (event->button() == Qt::RightButton &&
        m_anchor.contains(event->globalPosition().toPoint())) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace kelvo
