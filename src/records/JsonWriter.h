#pragma once

#include "EncodingError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// Builds one compact JSON object for a request body. Absent optionals are left out entirely, and a
// real that is not finite makes the whole body fail instead of silently turning into null.
class JsonWriter {
public:
    void text(QLatin1StringView name, const QString& value);
    void optionalText(QLatin1StringView name, const std::optional<QString>& value);
    void optionalReal(QLatin1StringView name, std::optional<double> value);

    std::expected<QByteArray, EncodingError> finish() const;

private:
    QJsonObject m_object;
    std::optional<EncodingError> m_error;
};

} // namespace kelvo
