#include "Alerts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include <mutex>

namespace kelvo {

namespace {

constexpr const char* alertProperty = "kelvoAlert";

// A label in the alert role, named by its text.
class AlertInterface : public QAccessibleWidget {
public:
    explicit AlertInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::AlertMessage) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? static_cast<QLabel*>(widget())->text()
                                         : QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* alertFactory(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    return label && label->property(alertProperty).toBool() ? new AlertInterface(label) : nullptr;
}

void announce(QLabel* label, QAccessible::Event type) {
    QAccessibleEvent event(label, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

void Alerts::mark(QLabel* label) {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(alertFactory); });
    label->setProperty(alertProperty, true);
}

void Alerts::show(QLabel* label, const std::optional<QString>& text) {
    const bool wasShown = label->isVisible();
    const bool changed = label->text() != text.value_or(QString());
    label->setText(text.value_or(QString()));
    label->setVisible(text.has_value());
    if (!text || !label->isVisible() || (wasShown && !changed)) {
        return;
    }
    // Shown afresh, Qt says so itself; a new text in a line already shown is shown again.
    if (wasShown) {
        announce(label, QAccessible::ObjectShow);
    }
    announce(label, QAccessible::Alert);
}

} // namespace kelvo
