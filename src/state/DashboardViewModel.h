#pragma once

#include "records/DashboardEarnings.h"

#include <QCoroTask>
#include <QObject>

#include <optional>

namespace kelvo {

class APIClient;

// The earnings summary one screen shows: the running timer, today and this week, as the server
// computed them for the machine's current time zone. Each dashboard has its own; the popover
// keeps another for the life of the program.
class DashboardViewModel : public QObject {
    Q_OBJECT
public:
    // Who shows the figures: it names the diagnostic line of a failed load.
    enum class ShownBy { dashboard, popover };

    DashboardViewModel(APIClient* apiClient, ShownBy shownBy, QObject* parent = nullptr);

    const std::optional<DashboardEarnings>& earnings() const { return m_earnings; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }

    QCoro::Task<void> loadEarnings();
    // Forgets the figures (a sign-out); a load still on its way no longer applies.
    void clear();
    // "45m" below an hour, "1h 30m" from one hour on; seconds below a minute vanish.
    static QString formatDuration(qint64 seconds);
    // The same in words, for screen readers: "1 hour 10 minutes".
    static QString spokenDuration(qint64 seconds);

Q_SIGNALS:
    void earningsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    std::optional<DashboardEarnings> m_earnings;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    APIClient* m_apiClient;
    ShownBy m_shownBy;
    quint64 m_generation = 0;
};

} // namespace kelvo
