#pragma once

#include <QObject>
#include <QPixmap>

class QBoxLayout;
class QSpacerItem;
class QWidget;

namespace kelvo {

// A picture that only decorates: its host widget paints it into a place kept in the host's
// layout. It is no widget of its own, so screen readers pass it by.
class Decoration : public QObject {
    Q_OBJECT
public:
    Decoration(QWidget* host, QSize size);

    // Adds the picture's place to the host's layout, with the layout's spacing after it (a
    // layout adds none next to a place kept empty); the picture is centred in what it is given.
    void addTo(QBoxLayout* layout) const;
    void setPixmap(const QPixmap& pixmap);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_host;
    QSpacerItem* m_place;
    QPixmap m_pixmap;
};

} // namespace kelvo
