#include "Appearance.h"

#include <QHideEvent>
#include <QShowEvent>

namespace kelvo {

bool Appearance::begins(const QShowEvent* event) {
    if (event->spontaneous() || m_appeared) {
        return false;
    }
    m_appeared = true;
    return true;
}

void Appearance::ended(const QHideEvent* event) {
    // Minimising hides the window's widgets spontaneously; the screen is still the one shown.
    if (!event->spontaneous()) {
        m_appeared = false;
    }
}

} // namespace kelvo
