#pragma once

#include "JsonReader.h"

namespace kelvo {

struct Project {
    QString id;
    QString name;
    std::optional<QString> description;
    std::optional<QString> color;
    std::optional<double> hourlyRate;
    bool isActive = false;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;

    bool operator==(const Project&) const = default;

    static Project fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1),
                r.text("name"_L1),
                r.optionalText("description"_L1),
                r.optionalText("color"_L1),
                r.optionalReal("hourlyRate"_L1),
                r.flag("isActive"_L1),
                r.optionalText("createdAt"_L1),
                r.optionalText("updatedAt"_L1)};
    }
};

} // namespace kelvo
