#pragma once

namespace kelvo::server {

// The statuses this server answers with.
enum class HttpStatus {
    Ok = 200,
    Created = 201,
    BadRequest = 400,
    Unauthorized = 401,
    NotFound = 404,
    Conflict = 409,
    PayloadTooLarge = 413,
    TooManyRequests = 429,
    HeaderFieldsTooLarge = 431,
    InternalServerError = 500,
    ServiceUnavailable = 503,
};

} // namespace kelvo::server
