#pragma once

#include "Project.h"

namespace kelvo {

struct ProjectsResponse {
    QList<Project> projects;

    bool operator==(const ProjectsResponse&) const = default;

    static ProjectsResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.list<Project>("projects"_L1)};
    }
};

} // namespace kelvo
