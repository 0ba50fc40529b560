#pragma once

#include "EarningsCard.h"

namespace kelvo {

// The earnings card's stand-in while the summary loads: "..." and "Loading...".
class LoadingEarningsCard : public EarningsCard {
    Q_OBJECT
public:
    explicit LoadingEarningsCard(const QString& title, QWidget* parent = nullptr);
};

} // namespace kelvo
