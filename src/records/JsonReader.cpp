#include "JsonReader.h"

#include "BearerToken.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <limits>

namespace kelvo {

namespace {

QString typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

bool isWholeNumber(const QJsonValue& value) {
    // toInteger() falls back to its default for fractions and out-of-range values; asking with two
    // different defaults tells a real answer from the fallback.
    constexpr qint64 low = std::numeric_limits<qint64>::min();
    constexpr qint64 high = std::numeric_limits<qint64>::max();
    return value.toInteger(low) != low || value.toInteger(high) != high;
}

} // namespace

std::expected<QJsonObject, DecodeError> parseJsonObject(const QByteArray& json) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return std::unexpected(DecodeError{{},
                                           QStringLiteral("not valid JSON (%1 at offset %2)")
                                               .arg(parseError.errorString())
                                               .arg(parseError.offset)});
    }
    if (!document.isObject()) {
        return std::unexpected(
            DecodeError{{}, QStringLiteral("expected a JSON object at the top level")});
    }
    return document.object();
}

JsonReader::JsonReader(const QJsonObject& object, std::optional<DecodeError>* error)
    : m_object(object)
    , m_error(error) {}

JsonReader::JsonReader(const QJsonObject& object, const JsonReader* parent,
                       QLatin1StringView member, qsizetype index)
    : m_object(object)
    , m_error(parent->m_error)
    , m_parent(parent)
    , m_member(member)
    , m_index(index) {}

QString JsonReader::pathTo(QLatin1StringView name, qsizetype index) const {
    QString path = m_parent ? m_parent->pathTo(m_member, m_index) : QString();
    if (!path.isEmpty()) {
        path += u'.';
    }
    path += name;
    if (index >= 0) {
        path += u'[' + QString::number(index) + u']';
    }
    return path;
}

void JsonReader::fail(QLatin1StringView name, qsizetype index, QString problem) const {
    if (!m_error->has_value()) {
        *m_error = DecodeError{pathTo(name, index), std::move(problem)};
    }
}

QJsonValue JsonReader::member(QLatin1StringView name, Kind kind, bool required) const {
    if (failed()) {
        return {};
    }
    QJsonValue value = m_object.value(name);
    if (value.isUndefined() || value.isNull()) {
        if (required) {
            fail(name, -1, value.isNull() ? QStringLiteral("is null") : QStringLiteral("missing"));
        }
        return QJsonValue(QJsonValue::Undefined);
    }
    QString expected;
    switch (kind) {
    case Kind::String:
        if (value.isString()) {
            return value;
        }
        expected = QStringLiteral("a string");
        break;
    case Kind::Number:
        if (value.isDouble()) {
            return value;
        }
        expected = QStringLiteral("a number");
        break;
    case Kind::Integer:
        if (value.isDouble() && isWholeNumber(value)) {
            return value;
        }
        if (value.isDouble()) {
            fail(name, -1,
                 QStringLiteral("expected a whole number, found %1").arg(value.toDouble()));
            return QJsonValue(QJsonValue::Undefined);
        }
        expected = QStringLiteral("a whole number");
        break;
    case Kind::Bool:
        if (value.isBool()) {
            return value;
        }
        expected = QStringLiteral("true or false");
        break;
    case Kind::Object:
        if (value.isObject()) {
            return value;
        }
        expected = QStringLiteral("an object");
        break;
    case Kind::Array:
        if (value.isArray()) {
            return value;
        }
        expected = QStringLiteral("an array");
        break;
    }
    fail(name, -1, QStringLiteral("expected %1, found %2").arg(expected, typeName(value)));
    return QJsonValue(QJsonValue::Undefined);
}

QString JsonReader::text(QLatin1StringView name) const {
    return member(name, Kind::String, true).toString();
}

QString JsonReader::bearerToken(QLatin1StringView name) const {
    QString value = text(name);
    if (!failed() && !isBearerToken(value)) {
        fail(name, -1, QStringLiteral("not a valid bearer token"));
    }
    return value;
}

std::optional<QString> JsonReader::optionalText(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::String, false);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

double JsonReader::real(QLatin1StringView name) const {
    return member(name, Kind::Number, true).toDouble();
}

std::optional<double> JsonReader::optionalReal(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Number, false);
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

qint64 JsonReader::integer(QLatin1StringView name) const {
    return member(name, Kind::Integer, true).toInteger();
}

std::optional<qint64> JsonReader::optionalInteger(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Integer, false);
    return value.isDouble() ? std::optional(value.toInteger()) : std::nullopt;
}

bool JsonReader::flag(QLatin1StringView name) const {
    return member(name, Kind::Bool, true).toBool();
}

std::optional<bool> JsonReader::optionalFlag(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Bool, false);
    return value.isBool() ? std::optional(value.toBool()) : std::nullopt;
}

} // namespace kelvo
