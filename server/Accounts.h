#pragma once

#include "HttpError.h"
#include "ServerContext.h"

#include <QByteArray>

#include <optional>

namespace kelvo::server {

// Users and their bearer tokens: registration, sign-in, the current user and token refresh.
class Accounts {
public:
    explicit Accounts(ServerContext& context) : m_context(context) {}

    HandlerResult registerUser(const QByteArray& body);
    HandlerResult login(const QByteArray& body);
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

    ServerContext& m_context;
};

} // namespace kelvo::server
