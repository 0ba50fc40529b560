#pragma once

#include <QString>

#include <optional>

class QLabel;

namespace kelvo {

// Error lines that screen readers speak: they have the alert role, and each new text shown is
// announced (an alert event), not only painted.
class Alerts {
public:
    // Makes `label` an alert line; before anything asks for its accessible interface.
    static void mark(QLabel* label);
    // Shows `text` in `label`, or hides it for nothing; a new text shown is announced.
    static void show(QLabel* label, const std::optional<QString>& text);
};

} // namespace kelvo
