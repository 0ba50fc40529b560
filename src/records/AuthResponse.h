#pragma once

#include "User.h"

namespace kelvo {

struct AuthResponse {
    std::optional<QString> message;
    User user;
    QString token;

    bool operator==(const AuthResponse&) const = default;

    static AuthResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.optionalText("message"_L1), r.record<User>("user"_L1), r.bearerToken("token"_L1)};
    }
};

} // namespace kelvo
