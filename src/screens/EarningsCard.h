#pragma once

#include "ui/CardFrame.h"

class QLabel;

namespace kelvo {

// One period's earnings: a title, the amount and the duration, in a bordered rounded card.
class EarningsCard : public CardFrame {
    Q_OBJECT
public:
    EarningsCard(const QString& title, const QString& earnings, const QString& duration,
                 QWidget* parent = nullptr);

    void setEarnings(const QString& earnings);
    void setDuration(const QString& duration);
    QString earnings() const;
    QString duration() const;

protected:
    void setAmountColor(const QColor& color);

private:
    QLabel* m_amount;
    QLabel* m_duration;
};

} // namespace kelvo
