#include "JsonWriter.h"

#include <QJsonDocument>

#include <cmath>

namespace kelvo {

void JsonWriter::text(QLatin1StringView name, const QString& value) {
    m_object.insert(name, value);
}

void JsonWriter::optionalText(QLatin1StringView name, const std::optional<QString>& value) {
    if (value) {
        m_object.insert(name, *value);
    }
}

void JsonWriter::optionalReal(QLatin1StringView name, std::optional<double> value) {
    if (!value) {
        return;
    }
    if (!std::isfinite(*value)) {
        if (!m_error) {
            m_error = EncodingError{QString(name)};
        }
        return;
    }
    m_object.insert(name, *value);
}

std::expected<QByteArray, EncodingError> JsonWriter::finish() const {
    if (m_error) {
        return std::unexpected(*m_error);
    }
    return QJsonDocument(m_object).toJson(QJsonDocument::Compact);
}

} // namespace kelvo
