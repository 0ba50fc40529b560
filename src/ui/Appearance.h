#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace kelvo {

// Runs a screen's appear action each time the screen appears. A window restored from minimised
// shows its widgets again (a spontaneous show event) but is no new appearance; a window shown
// again after it was closed is one. However many show events one appearance brings, the action
// runs once. The object belongs to the screen it watches.
class Appearance : public QObject {
public:
    Appearance(QWidget* screen, std::function<void()> appeared);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_appeared;
    bool m_shown = false;
};

} // namespace kelvo
