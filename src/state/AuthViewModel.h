#pragma once

#include "ActionError.h"
#include "records/User.h"

#include <QCoroTask>
#include <QObject>

#include <chrono>
#include <optional>

class QTimer;

namespace kelvo {

class APIClient;
class Connectivity;

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
    // The session restore failed for want of a network or a working server; the stored token
    // is kept and the restore runs again until the server answers or the user signs in.
    bool isRetryingRestore() const { return m_isRetryingRestore; }
    // Set when a sign-in succeeded but its token could not be stored, until dismissed.
    const std::optional<QString>& saveWarning() const { return m_saveWarning; }
    void dismissSaveWarning();
    // What the sign-in screen tells about the last sign-out, until the next sign-in begins.
    const std::optional<QString>& notice() const { return m_notice; }
    void setNotice(std::optional<QString> notice);

    // The restore also runs again whenever `connectivity` reports the network back.
    void setConnectivity(Connectivity* connectivity);
    void setRestoreRetryInterval(std::chrono::milliseconds interval);

    // Both say how they ended, besides publishing it (`errorMessage`).
    QCoro::Task<ActionResult> login(QString email, QString password);
    QCoro::Task<ActionResult> registerAccount(QString name, QString email, QString password,
                                              std::optional<QString> captchaId,
                                              std::optional<QString> captchaValue);
    // Whether the client holds a token: a restore may be on its way while not yet signed in.
    bool hasToken() const;
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
    void isRetryingRestoreChanged();
    void saveWarningChanged();
    void noticeChanged();
    // After every sign-out, by hand or because the server refused the session.
    void signedOut();

private:
    enum class Outcome { done, failedForNow, superseded };

    template <class Result> ActionResult finishSignIn(const Result& result);
    void setSignedInUser(const User& user);
    // One run of the restore in the order of checkAuthStatus.
    QCoro::Task<Outcome> restoreOnce();
    void retryRestore();
    void setRetryingRestore(bool retrying);
    // Stores a new token; tells the user when it will not outlive this run.
    void keepToken(const QString& token);

    bool m_isAuthenticated = false;
    std::optional<User> m_currentUser;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    APIClient* m_apiClient;
    bool m_isRetryingRestore = false;
    std::optional<QString> m_saveWarning;
    std::optional<QString> m_notice;
    bool m_restoreRunning = false;
    // Counts sign-ins and sign-outs by hand: a restore that sees it change gives way.
    quint64 m_signInGeneration = 0;
    QTimer* m_retryTimer;
};

} // namespace kelvo
