#include "LiveFigure.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include <mutex>

namespace kelvo {

namespace {

constexpr const char* liveFigureProperty = "kelvoLiveFigure";

class LiveFigureInterface : public QAccessibleWidget {
public:
    explicit LiveFigureInterface(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Description ? static_cast<QLabel*>(widget())->text()
                                                : QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* liveFigureFactory(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    return label && label->property(liveFigureProperty).toBool() ? new LiveFigureInterface(label)
                                                                 : nullptr;
}

} // namespace

void LiveFigure::show(QLabel* label, const QString& text) {
    const bool steady = label->minimumSize() == label->maximumSize() &&
                        label->text().size() == text.size();
    if (!steady) {
        label->setMinimumSize(0, 0);
        label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    label->setText(text);
    if (!steady) {
        label->setFixedSize(label->sizeHint());
    }
}

void LiveFigure::mark(QLabel* label, const QString& name) {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(liveFigureFactory); });
    label->setProperty(liveFigureProperty, true);
    label->setAccessibleName(name);
}

} // namespace kelvo
