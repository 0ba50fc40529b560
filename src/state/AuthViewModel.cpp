#include "AuthViewModel.h"

#include "Connectivity.h"
#include "Publish.h"
#include "api/APIClient.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

namespace kelvo {

AuthViewModel::AuthViewModel(APIClient* apiClient, QObject* parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_retryTimer(new QTimer(this)) {
    m_retryTimer->setInterval(std::chrono::seconds(60));
    connect(m_retryTimer, &QTimer::timeout, this, &AuthViewModel::retryRestore);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive) {
                        retryRestore();
                    }
                });
    }
    if (m_apiClient->authToken()) {
        QTimer::singleShot(0, this, [this] { checkAuthStatus(); });
    }
}

void AuthViewModel::setConnectivity(Connectivity* connectivity) {
    connect(connectivity, &Connectivity::regained, this, &AuthViewModel::retryRestore);
}

void AuthViewModel::setRestoreRetryInterval(std::chrono::milliseconds interval) {
    m_retryTimer->setInterval(interval);
}

bool AuthViewModel::hasToken() const {
    return m_apiClient->authToken().has_value();
}

QCoro::Task<ActionResult> AuthViewModel::login(QString email, QString password) {
    setNotice(std::nullopt);
    publish(this, m_isLoading, true, &AuthViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
    QPointer self(this);
    const auto result = co_await m_apiClient->login(std::move(email), std::move(password));
    if (!self) {
        co_return std::unexpected(ActionError{ActionError::Kind::failed, {}});
    }
    co_return finishSignIn(result);
}

QCoro::Task<ActionResult> AuthViewModel::registerAccount(QString name, QString email, QString password,
                                                 std::optional<QString> captchaId,
                                                 std::optional<QString> captchaValue) {
    setNotice(std::nullopt);
    publish(this, m_isLoading, true, &AuthViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
    QPointer self(this);
    const auto result = co_await m_apiClient->registerAccount(
        std::move(name), std::move(email), std::move(password), std::nullopt, std::move(captchaId),
        std::move(captchaValue));
    if (!self) {
        co_return std::unexpected(ActionError{ActionError::Kind::failed, {}});
    }
    co_return finishSignIn(result);
}

template <class Result> ActionResult AuthViewModel::finishSignIn(const Result& result) {
    ActionResult outcome;
    if (result) {
        ++m_signInGeneration;
        setRetryingRestore(false);
        keepToken(result->token);
        setSignedInUser(result->user);
    } else {
        publish(this, m_errorMessage, result.error().errorDescription(),
                &AuthViewModel::errorMessageChanged);
        publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
        outcome = std::unexpected(ActionError::of(result.error()));
    }
    publish(this, m_isLoading, false, &AuthViewModel::isLoadingChanged);
    return outcome;
}

void AuthViewModel::setSignedInUser(const User& user) {
    publish(this, m_currentUser, user, &AuthViewModel::currentUserChanged);
    publish(this, m_isAuthenticated, true, &AuthViewModel::isAuthenticatedChanged);
}

void AuthViewModel::logout() {
    ++m_signInGeneration;
    setRetryingRestore(false);
    dismissSaveWarning();
    m_apiClient->clearAuthToken();
    publish(this, m_currentUser, std::nullopt, &AuthViewModel::currentUserChanged);
    publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
    Q_EMIT signedOut();
}

void AuthViewModel::setNotice(std::optional<QString> notice) {
    if (notice != m_notice) {
        publish(this, m_notice, std::move(notice), &AuthViewModel::noticeChanged);
    }
}

void AuthViewModel::keepToken(const QString& token) {
    const auto saved = m_apiClient->setAuthToken(token);
    if (!saved) {
        publish(this, m_saveWarning,
                QStringLiteral("Signed in, but the sign-in could not be saved: ") + saved.error() +
                    QStringLiteral("; you will need to sign in again next time"),
                &AuthViewModel::saveWarningChanged);
    }
}

void AuthViewModel::dismissSaveWarning() {
    if (m_saveWarning) {
        publish(this, m_saveWarning, std::nullopt, &AuthViewModel::saveWarningChanged);
    }
}

void AuthViewModel::clearErrorMessage() {
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
}

QCoro::Task<bool> AuthViewModel::refreshToken() {
    QPointer self(this);
    const auto result = co_await m_apiClient->refreshToken();
    if (!self) {
        co_return false;
    }
    if (result) {
        keepToken(result->token);
        co_return true;
    }
    logout();
    co_return false;
}

QCoro::Task<void> AuthViewModel::checkAuthStatus() {
    if (!m_apiClient->authToken()) {
        setRetryingRestore(false);
        publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
        co_return;
    }
    if (m_restoreRunning) {
        co_return;
    }
    m_restoreRunning = true;
    QPointer self(this);
    const Outcome outcome = co_await restoreOnce();
    if (!self) {
        co_return;
    }
    m_restoreRunning = false;
    if (outcome != Outcome::superseded) {
        setRetryingRestore(outcome == Outcome::failedForNow);
    }
}

QCoro::Task<AuthViewModel::Outcome> AuthViewModel::restoreOnce() {
    QPointer self(this);
    const quint64 generation = m_signInGeneration;
    const std::optional<QString> token = m_apiClient->authToken();
    const auto superseded = [&] { return !self || m_signInGeneration != generation; };
    const auto refused = [](const APIClientError& error) {
        return error.kind() == APIClientError::Kind::unauthorized;
    };
    const auto user = co_await m_apiClient->getCurrentUser();
    if (superseded()) {
        co_return Outcome::superseded;
    }
    if (user) {
        setSignedInUser(*user);
        co_return Outcome::done;
    }
    const auto renewed = co_await m_apiClient->refreshToken();
    if (superseded()) {
        co_return Outcome::superseded;
    }
    if (!renewed) {
        // Only the server refusing the token twice ends the session. A captive portal's
        // redirect or a proxy's error page says nothing about it: the token stays (also when
        // the first 401 took it from the client) and the restore runs again later.
        if (refused(user.error()) && refused(renewed.error())) {
            logout();
            co_return Outcome::done;
        }
        if (!m_apiClient->authToken() && token) {
            keepToken(*token);
        }
        co_return Outcome::failedForNow;
    }
    keepToken(renewed->token);
    const auto retried = co_await m_apiClient->getCurrentUser();
    if (superseded()) {
        co_return Outcome::superseded;
    }
    if (retried) {
        setSignedInUser(*retried);
        co_return Outcome::done;
    }
    if (refused(retried.error())) {
        logout(); // the token just issued is refused as well
        co_return Outcome::done;
    }
    co_return Outcome::failedForNow;
}

void AuthViewModel::retryRestore() {
    if (m_isRetryingRestore) {
        checkAuthStatus();
    }
}

void AuthViewModel::setRetryingRestore(bool retrying) {
    if (retrying) {
        m_retryTimer->start();
    } else {
        m_retryTimer->stop();
    }
    // Announced only when it changes, so a session that never needed a retry emits exactly
    // what it always did.
    if (m_isRetryingRestore != retrying) {
        publish(this, m_isRetryingRestore, retrying, &AuthViewModel::isRetryingRestoreChanged);
    }
}

} // namespace kelvo
