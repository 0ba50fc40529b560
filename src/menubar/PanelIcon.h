#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;

namespace kelvo {

// The panel item's icon: the play or stop symbol, or the running time's digits, on a small dark
// badge that reads on light and dark panels alike. A value: the presence draws it at the sizes a
// panel asks for, and only when what it shows has changed.
class PanelIcon {
public:
    // The sizes panels ask for, each also at twice the scale.
    static constexpr int sizes[] = {16, 22, 24, 32, 44, 48, 64, 96};

    // `live` is the icon of the digits' mode: drawn anew as the time goes, never kept in a file.
    explicit PanelIcon(QString symbol, QStringList digits = {}, bool live = false);

    // The digits for `seconds` of a running timer: the minutes under an hour ("07", "47"), then the
    // hours over the minutes ("1h", "05"); none where they would not fit (1,000 hours and more)
    // or the span cannot be shown.
    static QStringList digitsOf(qint64 seconds);

    const QStringList& digits() const { return m_digits; }
    bool isLive() const { return m_live; }
    // Names what the icon shows; equal keys draw the same pictures.
    QString key() const;
    QImage image(int size) const;
    // Every size, for the tray icon.
    QIcon icon() const;

private:
    // False where the face gives no outlines (no fonts at all): nothing is drawn.
    bool drawDigits(QPainter& painter, int size) const;

    QString m_symbol;
    QStringList m_digits;
    bool m_live = false;
};

} // namespace kelvo
