#pragma once

#include "api/APIClient.h"

#include <QCoroTask>
#include <QObject>

namespace kelvo {

// The earnings summary one dashboard shows: the running timer, today and this week, as the
// server computed them for the machine's current time zone.
class DashboardViewModel : public QObject {
    Q_OBJECT
public:
    explicit DashboardViewModel(APIClient* apiClient = APIClient::shared(),
                                QObject* parent = nullptr);

    const std::optional<DashboardEarnings>& earnings() const { return m_earnings; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }

    QCoro::Task<void> loadEarnings();
    // "45m" below an hour, "1h 30m" from one hour on; seconds below a minute vanish.
    static QString formatDuration(qint64 seconds);

Q_SIGNALS:
    void earningsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    std::optional<DashboardEarnings> m_earnings;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    APIClient* m_apiClient;
};

} // namespace kelvo
