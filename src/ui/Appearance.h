#pragma once

class QHideEvent;
class QShowEvent;

namespace kelvo {

// Tells the show events that make a screen appear from the others. A window restored from
// minimised shows its widgets again (a spontaneous show event) but is no new appearance; a
// window shown again after it was closed is one. However many show events one appearance
// brings, it is reported once.
class Appearance {
public:
    // True when `event` begins a new appearance.
    bool begins(const QShowEvent* event);
    void ended(const QHideEvent* event);

private:
    bool m_appeared = false;
};

} // namespace kelvo
