#include "OfflineLine.h"

#include "state/OfflineNotice.h"
#include "ui/Theme.h"

namespace kelvo {

OfflineLine::OfflineLine(OfflineNotice* notice, QWidget* parent)
    : QLabel(OfflineNotice::text(), parent)
    , m_notice(notice) {
    setObjectName(QStringLiteral("offlineLine"));
    setAlignment(Qt::AlignCenter);
    setFont(Theme::systemFont(11));
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Theme::secondaryText());
    setPalette(colours);
    if (m_notice) {
        connect(m_notice, &OfflineNotice::shownChanged, this, &OfflineLine::follow);
    }
    follow();
}

void OfflineLine::follow() {
    setVisible(m_notice && m_notice->isShown());
}

} // namespace kelvo
