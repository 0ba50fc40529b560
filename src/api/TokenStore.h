#pragma once

#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// Where the client keeps its bearer token between runs. The client holds the token in memory
// and asks the store only at creation and when the token changes.
class TokenStore {
public:
    virtual ~TokenStore() = default;

    // The kept token, if there is one (not yet checked to be a bearer token).
    virtual std::optional<QString> token() const = 0;
    // The error says why the token could not be kept.
    virtual std::expected<void, QString> keep(const QString& token) = 0;
    virtual std::expected<void, QString> forget() = 0;
    // Where the token is kept, for the diagnostic lines.
    virtual QString place() const = 0;
};

} // namespace kelvo
