#pragma once

#include <QDBusMessage>
#include <QObject>

namespace kelvo {

// Whether the desktop asks for less motion: GNOME's "enable-animations" turned off, as the
// desktop's settings portal tells it. Asked once without waiting, then followed as it changes;
// until an answer comes (or where there is no portal), motion is allowed.
class ReducedMotion : public QObject {
    Q_OBJECT
public:
    static ReducedMotion& instance();

    bool isReduced() const { return m_reduced; }
    void setReduced(bool reduced);

Q_SIGNALS:
    void reducedChanged();

private Q_SLOTS:
    // The portal's SettingChanged(group, key, value).
    void settingChanged(const QDBusMessage& message);

private:
    ReducedMotion();
    void ask();
    // The portal's value of enable-animations, however deeply it comes wrapped.
    void takeAnimations(const QVariant& value);

    bool m_reduced = false;
};

} // namespace kelvo
