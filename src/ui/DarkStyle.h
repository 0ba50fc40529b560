#pragma once

class QApplication;

namespace kelvo {

// Puts the whole application in the program's one dark look: the Fusion style with the theme's
// palette and body font.
class DarkStyle {
public:
    static void apply(QApplication& app);
};

} // namespace kelvo
