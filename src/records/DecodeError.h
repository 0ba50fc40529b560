#pragma once

#include <QString>

namespace kelvo {

// Why a JSON document could not be read as a record: the member path that failed and what was
// wrong with it, e.g. "entries[3].isRunning: missing".
struct DecodeError {
    QString path;
    QString problem;

    QString description() const {
        return path.isEmpty() ? problem : path + QStringLiteral(": ") + problem;
    }
};

} // namespace kelvo
