#pragma once

#include <QLabel>

namespace kelvo {

class OfflineNotice;

// The quiet line "Offline — figures may be out of date", shown while `notice` says so; never
// without a notice.
class OfflineLine : public QLabel {
    Q_OBJECT
public:
    explicit OfflineLine(OfflineNotice* notice, QWidget* parent = nullptr);

private:
    void follow();

    OfflineNotice* m_notice;
};

} // namespace kelvo
