#pragma once

#include "DecodeError.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// Strict reader of one JSON object. Required members must be present, non-null and of exactly
// the right JSON type; optional members may be absent or null but must otherwise have the right
// type; unknown members are ignored. The first failure is kept (with the full member path) and
// every later read returns a default value, so record readers stay straight-line code.
class JsonReader {
public:
    // Reads a whole document whose top level must be an object.
    template <class T> static std::expected<T, DecodeError> decode(const QByteArray& json);
    template <class T> static std::expected<T, DecodeError> decode(const QJsonObject& object);

    QString text(QLatin1StringView name) const;
    std::optional<QString> optionalText(QLatin1StringView name) const;
    // A text that may be sent back as a bearer token (see isBearerToken).
    QString bearerToken(QLatin1StringView name) const;
    double real(QLatin1StringView name) const;
    std::optional<double> optionalReal(QLatin1StringView name) const;
    qint64 integer(QLatin1StringView name) const;
    std::optional<qint64> optionalInteger(QLatin1StringView name) const;
    bool flag(QLatin1StringView name) const;
    std::optional<bool> optionalFlag(QLatin1StringView name) const;

    template <class T> T record(QLatin1StringView name) const;
    template <class T> std::optional<T> optionalRecord(QLatin1StringView name) const;
    template <class T> QList<T> list(QLatin1StringView name) const;

    bool failed() const { return m_error->has_value(); }

private:
    JsonReader(const QJsonObject& object, std::optional<DecodeError>* error);
    JsonReader(const QJsonObject& object, const JsonReader* parent, QLatin1StringView member,
               qsizetype index);

    enum class Kind { String, Number, Integer, Bool, Object, Array };

    // The member's value when it is present and of the wanted kind; undefined (after recording
    // the failure when the member is required or present with a wrong type) otherwise.
    QJsonValue member(QLatin1StringView name, Kind kind, bool required) const;
    void fail(QLatin1StringView name, qsizetype index, QString problem) const;
    QString pathTo(QLatin1StringView name, qsizetype index) const;

    template <class T>
    T readNested(const QJsonObject& object, QLatin1StringView name, qsizetype index) const;

    QJsonObject m_object;
    std::optional<DecodeError>* m_error;
    const JsonReader* m_parent = nullptr;
    QLatin1StringView m_member;
    qsizetype m_index = -1;
};

std::expected<QJsonObject, DecodeError> parseJsonObject(const QByteArray& json);

template <class T> std::expected<T, DecodeError> JsonReader::decode(const QJsonObject& object) {
    std::optional<DecodeError> error;
    JsonReader reader(object, &error);
    T value = T::fromJson(reader);
    if (error) {
        return std::unexpected(std::move(*error));
    }
    return value;
}

template <class T> std::expected<T, DecodeError> JsonReader::decode(const QByteArray& json) {
    auto object = parseJsonObject(json);
    if (!object) {
        return std::unexpected(object.error());
    }
    return decode<T>(*object);
}

template <class T>
T JsonReader::readNested(const QJsonObject& object, QLatin1StringView name, qsizetype index) const {
    JsonReader nested(object, this, name, index);
    return T::fromJson(nested);
}

template <class T> T JsonReader::record(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Object, true);
    return value.isObject() ? readNested<T>(value.toObject(), name, -1) : T{};
}

template <class T> std::optional<T> JsonReader::optionalRecord(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Object, false);
    if (!value.isObject()) {
        return std::nullopt;
    }
    return readNested<T>(value.toObject(), name, -1);
}

template <class T> QList<T> JsonReader::list(QLatin1StringView name) const {
    const QJsonValue value = member(name, Kind::Array, true);
    if (!value.isArray()) {
        return {};
    }
    const QJsonArray array = value.toArray();
    QList<T> result;
    result.reserve(array.size());
    for (qsizetype i = 0; i < array.size() && !failed(); ++i) {
        const QJsonValue element = array.at(i);
        if (!element.isObject()) {
            fail(name, i, QStringLiteral("expected an object"));
            break;
        }
        result.emplaceBack(readNested<T>(element.toObject(), name, i));
    }
    return failed() ? QList<T>{} : result;
}

} // namespace kelvo
