#include "AuthViewModel.h"

#include "Publish.h"

#include <QPointer>
#include <QTimer>

namespace kelvo {

AuthViewModel::AuthViewModel(APIClient* apiClient, QObject* parent)
    : QObject(parent)
    , m_apiClient(apiClient) {
    if (m_apiClient->authToken()) {
        QTimer::singleShot(0, this, [this] { checkAuthStatus(); });
    }
}

QCoro::Task<void> AuthViewModel::login(QString email, QString password) {
    publish(this, m_isLoading, true, &AuthViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
    QPointer self(this);
    const auto result = co_await m_apiClient->login(std::move(email), std::move(password));
    if (self) {
        finishSignIn(result);
    }
}

QCoro::Task<void> AuthViewModel::registerAccount(QString name, QString email, QString password,
                                                 std::optional<QString> captchaId,
                                                 std::optional<QString> captchaValue) {
    publish(this, m_isLoading, true, &AuthViewModel::isLoadingChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
    QPointer self(this);
    const auto result = co_await m_apiClient->registerAccount(
        std::move(name), std::move(email), std::move(password), std::nullopt, std::move(captchaId),
        std::move(captchaValue));
    if (self) {
        finishSignIn(result);
    }
}

void AuthViewModel::finishSignIn(const BodyResult<AuthResponse>& result) {
    if (result) {
        m_apiClient->setAuthToken(result->token);
        setSignedInUser(result->user);
    } else {
        publish(this, m_errorMessage, result.error().errorDescription(),
                &AuthViewModel::errorMessageChanged);
        publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
    }
    publish(this, m_isLoading, false, &AuthViewModel::isLoadingChanged);
}

void AuthViewModel::setSignedInUser(const User& user) {
    publish(this, m_currentUser, user, &AuthViewModel::currentUserChanged);
    publish(this, m_isAuthenticated, true, &AuthViewModel::isAuthenticatedChanged);
}

void AuthViewModel::logout() {
    m_apiClient->clearAuthToken();
    publish(this, m_currentUser, std::nullopt, &AuthViewModel::currentUserChanged);
    publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
    publish(this, m_errorMessage, std::nullopt, &AuthViewModel::errorMessageChanged);
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
    if (!result) {
        logout();
        co_return false;
    }
    m_apiClient->setAuthToken(result->token);
    co_return true;
}

QCoro::Task<void> AuthViewModel::checkAuthStatus() {
    if (!m_apiClient->authToken()) {
        publish(this, m_isAuthenticated, false, &AuthViewModel::isAuthenticatedChanged);
        co_return;
    }
    QPointer self(this);
    const auto user = co_await m_apiClient->getCurrentUser();
    if (!self) {
        co_return;
    }
    if (user) {
        setSignedInUser(*user);
        co_return;
    }
    const bool refreshed = co_await refreshToken();
    if (!self || !refreshed) {
        co_return;
    }
    const auto retried = co_await m_apiClient->getCurrentUser();
    if (!self) {
        co_return;
    }
    if (retried) {
        setSignedInUser(*retried);
    } else {
        logout();
    }
}

} // namespace kelvo
