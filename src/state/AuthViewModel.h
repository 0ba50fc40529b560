#pragma once

#include "api/APIClient.h"

#include <QCoroTask>
#include <QObject>

namespace kelvo {

// Whether a user is signed in and who it is; signs in, registers, restores the stored session at
// start and signs out. The client's token store is the only record of a session.
class AuthViewModel : public QObject {
    Q_OBJECT
public:
    // With a stored token, schedules one session restore; creation itself sends nothing.
    explicit AuthViewModel(APIClient* apiClient, QObject* parent = nullptr);

    bool isAuthenticated() const { return m_isAuthenticated; }
    const std::optional<User>& currentUser() const { return m_currentUser; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    APIClient* apiClient() const { return m_apiClient; }

    QCoro::Task<void> login(QString email, QString password);
    QCoro::Task<void> registerAccount(QString name, QString email, QString password,
                                      std::optional<QString> captchaId,
                                      std::optional<QString> captchaValue);
    void logout();
    // The sign-in screens clear an old error when they appear.
    void clearErrorMessage();
    // True when a new token was stored; any failure signs out.
    QCoro::Task<bool> refreshToken();
    QCoro::Task<void> checkAuthStatus();

Q_SIGNALS:
    void isAuthenticatedChanged();
    void currentUserChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    void finishSignIn(const BodyResult<AuthResponse>& result);
    void setSignedInUser(const User& user);

    bool m_isAuthenticated = false;
    std::optional<User> m_currentUser;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    APIClient* m_apiClient;
};

} // namespace kelvo
