#pragma once

#include "JsonWriter.h"

namespace kelvo {

struct StartTimerRequest {
    std::optional<QString> projectId;
    std::optional<QString> taskId;
    std::optional<QString> description;

    std::expected<QByteArray, EncodingError> toJson() const {
        using namespace Qt::StringLiterals;
        JsonWriter w;
        w.optionalText("projectId"_L1, projectId);
        w.optionalText("taskId"_L1, taskId);
        w.optionalText("description"_L1, description);
        return w.finish();
    }
};

} // namespace kelvo
