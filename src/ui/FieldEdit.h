#pragma once

#include <QColor>
#include <QLineEdit>

namespace kelvo {

// A single-line field in the program's own look, matching the pull-down choosers: the control
// colour in a rounded rectangle, 8 px of inner padding, dimmed while disabled. It can carry a
// thin square outline just inside its bounds (the registration form marks a mismatching
// confirmation with it).
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldEdit(const QString& placeholder, QWidget* parent = nullptr);

    void setOutline(const QColor& color);
    QColor outline() const { return m_outline; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_outline = Qt::transparent;
};

} // namespace kelvo
