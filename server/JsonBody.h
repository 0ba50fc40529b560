#pragma once

#include "HttpError.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

namespace kelvo::server {

// Reads a request body strictly: it must be one JSON object, and each member that is read must
// have the expected type. The first problem is kept and names the member.
class JsonBody {
public:
    // An empty body counts as {} (clients may POST without a body).
    static std::expected<JsonBody, HttpError> parse(const QByteArray& bytes);

    QString requiredText(const QString& name);
    std::optional<QString> optionalText(const QString& name);
    std::optional<double> optionalNumber(const QString& name);
    std::optional<bool> optionalFlag(const QString& name);

    // The first problem, if any read failed.
    const std::optional<HttpError>& error() const { return m_error; }

private:
    explicit JsonBody(QJsonObject object) : m_object(std::move(object)) {}
    void fail(const QString& name, const QString& problem);

    QJsonObject m_object;
    std::optional<HttpError> m_error;
};

} // namespace kelvo::server
