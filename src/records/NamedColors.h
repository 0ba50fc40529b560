#pragma once

#include <QColor>

namespace kelvo {

// The colours named by the program's own words, read once from their hex texts as server colours
// are read: the dashboard's and popover's backgrounds, the running green and the stopping red,
// and the grey that stands in for a missing or unreadable project colour.
class NamedColors {
public:
    static QColor appBackground();
    static QColor panelBackground();
    static QColor accentGreen();
    static QColor accentRed();
    static QColor grey();
};

} // namespace kelvo
