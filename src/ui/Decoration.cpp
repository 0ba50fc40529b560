#include "Decoration.h"

#include <QBoxLayout>
#include <QEvent>
#include <QPainter>
#include <QSpacerItem>
#include <QWidget>

namespace kelvo {

Decoration::Decoration(QWidget* host, QSize size)
    : QObject(host)
    , m_host(host)
    , m_place(
          new QSpacerItem(size.width(), size.height(), QSizePolicy::Fixed, QSizePolicy::Fixed)) {
    host->installEventFilter(this);
}

void Decoration::addTo(QBoxLayout* layout) const {
    layout->addItem(m_place);
    layout->addSpacing(layout->spacing());
}

void Decoration::setPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    m_host->update(m_place->geometry());
}

bool Decoration::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_host && event->type() == QEvent::Paint && !m_pixmap.isNull()) {
        const QRect area = m_place->geometry();
        const QSizeF size = m_pixmap.deviceIndependentSize();
        QPainter painter(m_host);
        painter.drawPixmap(QPointF(area.x() + (area.width() - size.width()) / 2,
                                   area.y() + (area.height() - size.height()) / 2),
                           m_pixmap);
    }
    return false;
}

} // namespace kelvo
