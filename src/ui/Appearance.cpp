#include "Appearance.h"

#include <QEvent>
#include <QWidget>

namespace kelvo {

Appearance::Appearance(QWidget* screen, std::function<void()> appeared)
    : QObject(screen)
    , m_appeared(std::move(appeared)) {
    screen->installEventFilter(this);
}

bool Appearance::eventFilter(QObject*, QEvent* event) {
    // Minimising hides and restoring shows the window's widgets spontaneously; the screen is
    // still the one shown.
    if (event->spontaneous()) {
        return false;
    }
    if (event->type() == QEvent::Show && !m_shown) {
        m_shown = true;
        m_appeared();
    } else if (event->type() == QEvent::Hide) {
        m_shown = false;
    }
    return false;
}

} // namespace kelvo
