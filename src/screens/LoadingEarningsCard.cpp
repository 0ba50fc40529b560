#include "LoadingEarningsCard.h"

#include "ui/Theme.h"

namespace kelvo {

LoadingEarningsCard::LoadingEarningsCard(const QString& title, QWidget* parent)
    : EarningsCard(title, QStringLiteral("..."), QStringLiteral("Loading..."), parent) {
    setAmountColor(Theme::secondaryText());
}

} // namespace kelvo
