#include "JsonBody.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace kelvo::server {

std::expected<JsonBody, HttpError> JsonBody::parse(const QByteArray& bytes) {
    if (bytes.trimmed().isEmpty()) {
        return JsonBody(QJsonObject());
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return std::unexpected(HttpError::badRequest(QStringLiteral("Malformed JSON body")));
    }
    if (!document.isObject()) {
        return std::unexpected(
            HttpError::badRequest(QStringLiteral("The request body must be a JSON object")));
    }
    return JsonBody(document.object());
}

void JsonBody::fail(const QString& name, const QString& problem) {
    if (!m_error) {
        m_error = HttpError::badRequest(name + u' ' + problem);
    }
}

QString JsonBody::requiredText(const QString& name) {
    const QJsonValue value = m_object.value(name);
    if (!value.isString()) {
        fail(name, value.isUndefined() || value.isNull() ? QStringLiteral("is required")
                                                         : QStringLiteral("must be a string"));
        return {};
    }
    return value.toString();
}

std::optional<QString> JsonBody::optionalText(const QString& name) {
    const QJsonValue value = m_object.value(name);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    if (!value.isString()) {
        fail(name, QStringLiteral("must be a string"));
        return std::nullopt;
    }
    return value.toString();
}

std::optional<double> JsonBody::optionalNumber(const QString& name) {
    const QJsonValue value = m_object.value(name);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    if (!value.isDouble() || !std::isfinite(value.toDouble())) {
        fail(name, QStringLiteral("must be a number"));
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<bool> JsonBody::optionalFlag(const QString& name) {
    const QJsonValue value = m_object.value(name);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    if (!value.isBool()) {
        fail(name, QStringLiteral("must be true or false"));
        return std::nullopt;
    }
    return value.toBool();
}

} // namespace kelvo::server
