#include "EarningsCard.h"

#include "ui/Labels.h"
#include "ui/Theme.h"

#include <QVBoxLayout>

namespace kelvo {

namespace {
CardFrame::Look cardLook() {
    return {Qt::transparent, 12, Theme::hairline(), 1, 12};
}
} // namespace

EarningsCard::EarningsCard(const QString& title, const QString& earnings, const QString& duration,
                           QWidget* parent)
    : CardFrame(cardLook(), parent) {
    m_amount = makeLabel(QStringLiteral("amount"), earnings,
                         Theme::font(Theme::TextStyle::title, QFont::Bold), Theme::primaryText());
    m_duration = makeLabel(QStringLiteral("duration"), duration,
                           Theme::font(Theme::TextStyle::subheadline), Theme::secondaryText());
    auto* figures = new QVBoxLayout;
    figures->setSpacing(4);
    figures->addWidget(m_amount);
    figures->addWidget(m_duration);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(makeLabel(QStringLiteral("cardTitle"), title,
                                Theme::font(Theme::TextStyle::headline), Theme::primaryText()));
    layout->addLayout(figures);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void EarningsCard::setEarnings(const QString& earnings) {
    m_amount->setText(earnings);
}

void EarningsCard::setDuration(const QString& duration) {
    m_duration->setText(duration);
}

QString EarningsCard::earnings() const {
    return m_amount->text();
}

QString EarningsCard::duration() const {
    return m_duration->text();
}

void EarningsCard::setAmountColor(const QColor& color) {
    QPalette palette = m_amount->palette();
    palette.setColor(QPalette::WindowText, color);
    m_amount->setPalette(palette);
}

} // namespace kelvo
