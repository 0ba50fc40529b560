#pragma once

#include "JsonReader.h"

namespace kelvo {

struct User {
    QString id;
    QString name;
    QString email;
    std::optional<double> defaultHourlyRate;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;

    bool operator==(const User&) const = default;

    static User fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1),
                r.text("name"_L1),
                r.text("email"_L1),
                r.optionalReal("defaultHourlyRate"_L1),
                r.optionalText("createdAt"_L1),
                r.optionalText("updatedAt"_L1)};
    }
};

} // namespace kelvo
