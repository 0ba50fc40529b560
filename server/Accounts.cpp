#include "Accounts.h"

#include "Credentials.h"
#include "JsonBody.h"
#include "Validation.h"

#include <QJsonValue>
#include <QVariant>

namespace kelvo::server {

namespace {

constexpr qint64 tokenLifetimeMs = 30LL * 24 * 3600 * 1000;

} // namespace

std::expected<Accounts::Registration, HttpError>
Accounts::beginRegistration(const QByteArray& bytes) {
    auto body = JsonBody::parse(bytes);
    if (!body) {
        return std::unexpected(body.error());
    }
    Registration registration{body->requiredText(QStringLiteral("name")).trimmed(),
                              body->requiredText(QStringLiteral("email")).trimmed(),
                              body->requiredText(QStringLiteral("password")),
                              body->optionalNumber(QStringLiteral("defaultHourlyRate"))};
    body->optionalText(QStringLiteral("captchaId"));
    body->optionalText(QStringLiteral("captchaValue"));
    if (body->error()) {
        return std::unexpected(*body->error());
    }
    for (const auto& problem :
         {Validation::name(registration.name, QStringLiteral("name")),
          Validation::email(registration.email), Validation::password(registration.password),
          Validation::rate(registration.rate, QStringLiteral("defaultHourlyRate"))}) {
        if (problem) {
            return std::unexpected(*problem);
        }
    }
    // Checked before the costly hash, and again when the user is added.
    auto existing = m_context.db.exec(QStringLiteral("SELECT 1 FROM users WHERE email_key = ?"),
                                      {Validation::emailKey(registration.email)});
    if (!existing) {
        return std::unexpected(HttpError::internal());
    }
    if (existing->next()) {
        return std::unexpected(emailTaken());
    }
    return registration;
}

QString Accounts::hashPassword(const Registration& registration, int iterations) {
    return Credentials::hashPassword(Validation::passwordForm(registration.password), iterations);
}

HandlerResult Accounts::finishRegistration(const Registration& registration,
                                           const QString& passwordHash) {
    const auto userId =
        insertUser(registration.name, registration.email, passwordHash, registration.rate);
    if (!userId) {
        return std::unexpected(emailTaken());
    }
    if (userId->isEmpty()) {
        return std::unexpected(HttpError::internal());
    }
    return signedIn(*userId, QStringLiteral("User registered successfully"), HttpStatus::Created);
}

HttpError Accounts::emailTaken() {
    return HttpError::conflict(QStringLiteral("Email is already registered"));
}

std::optional<QString> Accounts::createUser(const QString& name, const QString& email,
                                            const QString& password, std::optional<double> rate) {
    return insertUser(
        name, email,
        Credentials::hashPassword(Validation::passwordForm(password), m_context.passwordIterations),
        rate);
}

std::optional<QString> Accounts::insertUser(const QString& name, const QString& email,
                                            const QString& passwordHash,
                                            std::optional<double> rate) {
    auto existing = m_context.db.exec(QStringLiteral("SELECT 1 FROM users WHERE email_key = ?"),
                                      {Validation::emailKey(email)});
    if (!existing) {
        return QString();
    }
    if (existing->next()) {
        return std::nullopt;
    }
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    const bool inserted =
        m_context.db
            .exec(QStringLiteral("INSERT INTO users (id, name, email, email_key, password_hash, "
                                 "default_hourly_rate, created_at, updated_at) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                  {id, name, email, Validation::emailKey(email), passwordHash,
                   rate ? QVariant(*rate) : QVariant(), now, now})
            .has_value();
    return inserted ? id : QString();
}

Accounts::Accounts(ServerContext& context, LoginThrottle::Limits limits)
    : m_context(context)
    , m_accountThrottle(limits, [&context] { return context.nowMs(); })
    , m_addressThrottle(limits, [&context] { return context.nowMs(); })
    , m_decoyHash(Credentials::hashPassword(Credentials::newToken(), context.passwordIterations)) {}

std::expected<Accounts::LoginAttempt, HttpError>
Accounts::beginLogin(const QByteArray& bytes, const QString& clientAddress) {
    auto body = JsonBody::parse(bytes);
    if (!body) {
        return std::unexpected(body.error());
    }
    const QString email = body->requiredText(QStringLiteral("email"));
    const QString password = body->requiredText(QStringLiteral("password"));
    if (body->error()) {
        return std::unexpected(*body->error());
    }
    const QString account = Validation::emailKey(email);
    const qint64 waitMs =
        std::max(m_accountThrottle.waitMs(account), m_addressThrottle.waitMs(clientAddress));
    if (waitMs > 0) {
        return std::unexpected(HttpError::tooManyAttempts((waitMs + 999) / 1000));
    }
    auto row = m_context.db.exec(
        QStringLiteral("SELECT id, password_hash FROM users WHERE email_key = ?"), {account});
    if (!row) {
        return std::unexpected(HttpError::internal());
    }
    LoginAttempt attempt{account, clientAddress, password, std::nullopt, m_decoyHash};
    if (row->next()) {
        attempt.userId = row->value(0).toString();
        attempt.storedHash = row->value(1).toString();
    }
    // Guessing fails, so a guesser's tries are not clean once its first has failed; of tries
    // sent at once at an account, only the first is. Other tries from the address are not counted:
    // people behind one address (an office, a carrier's NAT) sign in at once too.
    attempt.clean = !m_accountThrottle.hasRecentFailures(account) &&
                    !m_accountThrottle.hasTryUnderWay(account) &&
                    !m_addressThrottle.hasRecentFailures(clientAddress);
    // Counted while its password is checked: tries sent at once cannot all slip under the limit.
    m_accountThrottle.begin(account);
    m_addressThrottle.begin(clientAddress);
    return attempt;
}

Accounts::PasswordCheck Accounts::checkPassword(const LoginAttempt& attempt, int iterations) {
    const QString composed = Validation::passwordForm(attempt.password);
    if (Credentials::verifyPassword(composed, attempt.storedHash)) {
        return {true, {}};
    }
    // Accounts made before passwords were composed were hashed as typed; such a match is
    // hashed again, composed. Tried whenever the two forms differ, account or not, so the
    // work tells nothing about the account.
    if (composed != attempt.password &&
        Credentials::verifyPassword(attempt.password, attempt.storedHash)) {
        return {true, Credentials::hashPassword(composed, iterations)};
    }
    return {false, {}};
}

HandlerResult Accounts::finishLogin(const LoginAttempt& attempt, const PasswordCheck& check) {
    const bool matches = check.matches;
    m_accountThrottle.end(attempt.account);
    m_addressThrottle.end(attempt.clientAddress);
    if (!attempt.userId || !matches) {
        m_accountThrottle.recordFailure(attempt.account);
        m_addressThrottle.recordFailure(attempt.clientAddress);
        return std::unexpected(
            HttpError::unauthorized(QStringLiteral("Invalid email or password")));
    }
    m_accountThrottle.clear(attempt.account);
    if (!check.newHash.isEmpty()) {
        m_context.db.exec(QStringLiteral("UPDATE users SET password_hash = ? WHERE id = ?"),
                          {check.newHash, *attempt.userId});
    }
    return signedIn(*attempt.userId, QStringLiteral("Login successful"), HttpStatus::Ok);
}

HandlerResult Accounts::signedIn(const QString& userId, const QString& message, HttpStatus status) {
    const auto token = issueToken(userId);
    const auto user = userJson(userId);
    if (!token || !user) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("message"), message},
                      {QStringLiteral("user"), *user},
                      {QStringLiteral("token"), *token}},
                     status};
}

HandlerResult Accounts::me(const QString& userId) {
    const auto user = userJson(userId);
    if (!user) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("user"), *user}}};
}

HandlerResult Accounts::refresh(const QString& userId, const QString& presentedToken) {
    Transaction transaction(m_context.db);
    const auto token = issueToken(userId);
    if (!transaction.isOpen() || !token ||
        !m_context.db.exec(QStringLiteral("DELETE FROM tokens WHERE token_hash = ?"),
                           {Credentials::tokenHash(presentedToken)}) ||
        !transaction.commit()) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("message"), QStringLiteral("Token refreshed")},
                      {QStringLiteral("token"), *token}}};
}

std::optional<QString> Accounts::authenticate(const QString& token) {
    auto row = m_context.db.exec(
        QStringLiteral("SELECT user_id FROM tokens WHERE token_hash = ? AND expires_at > ?"),
        {Credentials::tokenHash(token), m_context.nowMs()});
    if (!row || !row->next()) {
        return std::nullopt;
    }
    return row->value(0).toString();
}

std::optional<QString> Accounts::issueToken(const QString& userId) {
    const QString token = Credentials::newToken();
    const qint64 now = m_context.nowMs();
    // Expired tokens are useless; dropping them here keeps the table small.
    m_context.db.exec(QStringLiteral("DELETE FROM tokens WHERE expires_at <= ?"), {now});
    if (!m_context.db.exec(
            QStringLiteral("INSERT INTO tokens (token_hash, user_id, expires_at) VALUES (?, ?, ?)"),
            {Credentials::tokenHash(token), userId, now + tokenLifetimeMs})) {
        return std::nullopt;
    }
    return token;
}

std::optional<QJsonObject> Accounts::userJson(const QString& userId) {
    auto row = m_context.db.exec(
        QStringLiteral("SELECT id, name, email, default_hourly_rate, created_at, updated_at "
                       "FROM users WHERE id = ?"),
        {userId});
    if (!row || !row->next()) {
        return std::nullopt;
    }
    return QJsonObject{
        {QStringLiteral("id"), row->value(0).toString()},
        {QStringLiteral("name"), row->value(1).toString()},
        {QStringLiteral("email"), row->value(2).toString()},
        {QStringLiteral("defaultHourlyRate"), ServerContext::nullable(row->value(3))},
        {QStringLiteral("createdAt"), ServerContext::timestamp(row->value(4).toLongLong())},
        {QStringLiteral("updatedAt"), ServerContext::timestamp(row->value(5).toLongLong())},
    };
}

} // namespace kelvo::server
