#pragma once

#include "HttpError.h"
#include "LoginThrottle.h"
#include "ServerContext.h"

#include <QByteArray>

#include <optional>

namespace kelvo::server {

// Users and their bearer tokens: registration, sign-in, the current user and token refresh.
class Accounts {
public:
    Accounts(ServerContext& context, LoginThrottle::Limits limits);

    HandlerResult registerUser(const QByteArray& body);
    // Signs in from `clientAddress`; too many failures for the account or the address within
    // a while are answered 429 without checking the password.
    HandlerResult login(const QByteArray& body, const QString& clientAddress);
    HandlerResult me(const QString& userId);
    HandlerResult refresh(const QString& userId, const QString& presentedToken);

    // The user a valid, unexpired token belongs to.
    std::optional<QString> authenticate(const QString& token);
    // Creates a user directly (the demo seed); the new id, or nothing when the e-mail is taken.
    std::optional<QString> createUser(const QString& name, const QString& email,
                                      const QString& password, std::optional<double> rate);

private:
    std::optional<QString> issueToken(const QString& userId);
    std::optional<QJsonObject> userJson(const QString& userId);
    HandlerResult signedIn(const QString& userId, const QString& message,
                           QHttpServerResponse::StatusCode status);

    // A hash of no one's password: an unknown e-mail costs the same work as a known one.
    const QString& decoyHash();

    ServerContext& m_context;
    LoginThrottle m_accountThrottle;
    LoginThrottle m_addressThrottle;
    QString m_decoyHash;
};

} // namespace kelvo::server
