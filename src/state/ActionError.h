#pragma once

#include <QString>

#include <expected>

namespace kelvo {

class APIClientError;
class RequestError;

// How a sign-in, start, stop, restart or load that did not go through ended, as the views and the
// command line need it: what to show, and whether the server refused the sign-in.
struct ActionError {
    enum class Kind {
        failed,  // the server or the network failed, or refused the request; `message` says how
        refused, // the server refused the sign-in the request carried (401)
        busy,    // not sent: another start or stop is on its way, or a stop waits for the server
    };

    Kind kind = Kind::failed;
    QString message;

    static ActionError of(const APIClientError& error);
    static ActionError of(const RequestError& error);
};

// What an action ends with: done, or why not.
using ActionResult = std::expected<void, ActionError>;

} // namespace kelvo
