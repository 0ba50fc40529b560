#pragma once

#include <QString>

namespace kelvo {

// A request body that cannot be written as JSON (a real that is not finite). Nothing is sent.
struct EncodingError {
    QString member;

    QString description() const {
        return QStringLiteral("Cannot encode the request: %1 is not a finite number").arg(member);
    }
};

} // namespace kelvo
