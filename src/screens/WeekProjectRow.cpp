#include "WeekProjectRow.h"

#include "ui/ElidedLabel.h"
#include "ui/Labels.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>

namespace kelvo {

namespace {
constexpr int dot = 10;
}

WeekProjectRow::WeekProjectRow(QWidget* parent)
    : QWidget(parent) {
    const QFont body = Theme::font(Theme::TextStyle::body);
    m_name = new ElidedLabel(body, Theme::primaryText());
    m_hours = makeLabel(QStringLiteral("projectHours"), {}, body, Theme::secondaryText());
    m_money = makeLabel(QStringLiteral("projectEarnings"), {}, body, Theme::primaryText());
    m_hours->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_money->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(dot + 10, 2, 0, 2);
    layout->setSpacing(12);
    layout->addWidget(m_name, 1);
    layout->addWidget(m_hours);
    layout->addWidget(m_money);
}

void WeekProjectRow::set(const QColor& color, const QString& name, const QString& hours,
                         const QString& money) {
    m_color = color;
    m_name->setText(name);
    m_hours->setText(hours);
    m_money->setText(money);
    setAccessibleName(name + QStringLiteral(": ") + hours + QStringLiteral(", ") + money);
    update();
}

void WeekProjectRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(0, (height() - dot) / 2.0, dot, dot));
}

} // namespace kelvo
