#pragma once

#include <QString>

class QLabel;

namespace kelvo {

// Labels whose figure changes while it is watched (the elapsed time, the money earned so far).
// A fixed accessible name says what the figure is; its current text is the description, given
// when a screen reader asks, so a new figure every second raises no accessibility event.
class LiveFigure {
public:
    static void mark(QLabel* label, const QString& name);
    // Shows `text` in `label`. The label keeps a fixed size while the text keeps its length (the
    // figures use digits of one width), so a new figure every second repaints the label alone
    // instead of laying out the screen around it again.
    static void show(QLabel* label, const QString& text);
};

} // namespace kelvo
