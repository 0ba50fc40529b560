#pragma once

#include "JsonReader.h"

namespace kelvo {

// The body of a 4xx answer: `error` is the text shown to the user.
struct APIError {
    QString error;
    std::optional<QString> message;

    bool operator==(const APIError&) const = default;

    static APIError fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("error"_L1), r.optionalText("message"_L1)};
    }
};

} // namespace kelvo
