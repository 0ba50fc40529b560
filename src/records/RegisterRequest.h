#pragma once

#include "JsonWriter.h"

namespace kelvo {

struct RegisterRequest {
    QString email;
    QString password;
    QString name;
    std::optional<double> defaultHourlyRate;
    std::optional<QString> captchaId;
    std::optional<QString> captchaValue;

    std::expected<QByteArray, EncodingError> toJson() const {
        using namespace Qt::StringLiterals;
        JsonWriter w;
        w.text("email"_L1, email);
        w.text("password"_L1, password);
        w.text("name"_L1, name);
        w.optionalReal("defaultHourlyRate"_L1, defaultHourlyRate);
        w.optionalText("captchaId"_L1, captchaId);
        w.optionalText("captchaValue"_L1, captchaValue);
        return w.finish();
    }
};

} // namespace kelvo
