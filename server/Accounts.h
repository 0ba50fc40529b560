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

    // A registration read and checked, its password not hashed yet.
    struct Registration {
        QString name;
        QString email;
        QString password;
        std::optional<double> rate;
    };
    std::expected<Registration, HttpError> beginRegistration(const QByteArray& body);
    // The costly part, on any thread.
    static QString hashPassword(const Registration& registration, int iterations);
    HandlerResult finishRegistration(const Registration& registration, const QString& passwordHash);
    // What a sign-in needs checked, and against what, once the request has been read.
    struct LoginAttempt {
        QString account;
        QString clientAddress;
        QString password;
        std::optional<QString> userId; // nothing for an unknown e-mail
        QString storedHash;            // for an unknown e-mail, a hash of no one's password
        // Neither the account nor the address failed lately, and no other try at the account
        // is under way: its password is checked apart from those of the others, at normal
        // priority (see HashQueue).
        bool clean = false;
    };
    // Reads a sign-in from `clientAddress`; too many failures for the account or the address
    // within a while are answered 429 before any password is checked.
    std::expected<LoginAttempt, HttpError> beginLogin(const QByteArray& body,
                                                      const QString& clientAddress);
    struct PasswordCheck {
        bool matches = false;
        QString newHash; // set when the stored hash is to be replaced
    };
    // Whether the password matches: the costly part, the same for a known or unknown e-mail;
    // on any thread.
    static PasswordCheck checkPassword(const LoginAttempt& attempt, int iterations);
    HandlerResult finishLogin(const LoginAttempt& attempt, const PasswordCheck& check);
    HandlerResult me(const QString& userId);
    HandlerResult refresh(const QString& userId, const QString& presentedToken);

    // The user a valid, unexpired token belongs to.
    std::optional<QString> authenticate(const QString& token);
    // Creates a user directly (the demo seed); the new id, or nothing when the e-mail is taken.
    std::optional<QString> createUser(const QString& name, const QString& email,
                                      const QString& password, std::optional<double> rate);

private:
    static HttpError emailTaken();
    std::optional<QString> insertUser(const QString& name, const QString& email,
                                      const QString& passwordHash, std::optional<double> rate);
    std::optional<QString> issueToken(const QString& userId);
    std::optional<QJsonObject> userJson(const QString& userId);
    HandlerResult signedIn(const QString& userId, const QString& message, HttpStatus status);

    ServerContext& m_context;
    LoginThrottle m_accountThrottle;
    LoginThrottle m_addressThrottle;
    // A hash of no one's password, made at start: an unknown e-mail costs the same work as a
    // known one, the first time too.
    QString m_decoyHash;
};

} // namespace kelvo::server
