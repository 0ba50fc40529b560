#pragma once

#include <QObject>
#include <QPixmap>

class QSpacerItem;
class QWidget;

namespace kelvo {

// A picture that only decorates: its host widget paints it into a place kept in the host's
// layout. It is no widget of its own, so screen readers pass it by.
class Decoration : public QObject {
    Q_OBJECT
public:
    Decoration(QWidget* host, QSize size);

    // The place to add to the host's layout; the picture is centred in whatever it is given.
    QSpacerItem* place() const { return m_place; }
    void setPixmap(const QPixmap& pixmap);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_host;
    QSpacerItem* m_place;
    QPixmap m_pixmap;
};

} // namespace kelvo
