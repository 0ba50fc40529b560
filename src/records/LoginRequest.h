#pragma once

#include "JsonWriter.h"

namespace kelvo {

struct LoginRequest {
    QString email;
    QString password;

    std::expected<QByteArray, EncodingError> toJson() const {
        using namespace Qt::StringLiterals;
        JsonWriter w;
        w.text("email"_L1, email);
        w.text("password"_L1, password);
        return w.finish();
    }
};

} // namespace kelvo
