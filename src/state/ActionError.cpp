#include "ActionError.h"

#include "api/RequestError.h"

namespace kelvo {

ActionError ActionError::of(const APIClientError& error) {
    return {error.kind() == APIClientError::Kind::unauthorized ? Kind::refused : Kind::failed,
            error.errorDescription()};
}

ActionError ActionError::of(const RequestError& error) {
    if (const APIClientError* client = error.clientError()) {
        return of(*client);
    }
    return {Kind::failed, error.errorDescription()};
}

} // namespace kelvo
