#include "DashboardViewModel.h"

#include "records/Formatting.h"

#include "Publish.h"
#include "api/APIClient.h"

#include <QPointer>
#include <QTimeZone>

namespace kelvo {

DashboardViewModel::DashboardViewModel(APIClient* apiClient, ShownBy shownBy, QObject* parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_shownBy(shownBy) {}

QCoro::Task<void> DashboardViewModel::loadEarnings() {
    publish(this, m_isLoading, true, &DashboardViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &DashboardViewModel::errorMessageChanged);
    // Read on every load: the machine's zone may have changed since the last one.
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    QPointer self(this);
    const quint64 generation = m_generation;
    auto result = co_await m_apiClient->getDashboardEarnings(zone);
    if (!self || generation != m_generation) {
        co_return;
    }
    if (result) {
        publish(this, m_earnings, std::move(*result), &DashboardViewModel::earningsChanged);
    } else {
        publish(this, m_errorMessage, result.error().errorDescription(),
                &DashboardViewModel::errorMessageChanged);
        Diagnostics::print((m_shownBy == ShownBy::dashboard
                                ? QStringLiteral("Error loading dashboard earnings: ")
                                : QStringLiteral("Error loading earnings: ")) +
                           result.error().debugDescription());
    }
    publish(this, m_isLoading, false, &DashboardViewModel::isLoadingChanged);
}

void DashboardViewModel::clear() {
    ++m_generation;
    publish(this, m_earnings, std::nullopt, &DashboardViewModel::earningsChanged);
    publish(this, m_errorMessage, std::nullopt, &DashboardViewModel::errorMessageChanged);
    publish(this, m_isLoading, false, &DashboardViewModel::isLoadingChanged);
}

QString DashboardViewModel::formatDuration(qint64 seconds) {
    if (!isShowableSpan(seconds)) {
        return unshowableFigure();
    }
    const long long hours = seconds / 3600;
    const long long minutes = (seconds % 3600) / 60;
    if (seconds < 3600) {
        return QString::asprintf("%lldm", minutes);
    }
    return QString::asprintf("%lldh %lldm", hours, minutes);
}

QString DashboardViewModel::spokenDuration(qint64 seconds) {
    if (!isShowableSpan(seconds)) {
        return unshowableFigure();
    }
    const auto count = [](long long n, const char* unit) {
        return QString::asprintf("%lld %s%s", n, unit, n == 1 ? "" : "s");
    };
    const long long hours = seconds / 3600;
    const QString minutes = count((seconds % 3600) / 60, "minute");
    return hours == 0 ? minutes : count(hours, "hour") + u' ' + minutes;
}

} // namespace kelvo
