#pragma once

#include "HttpRequest.h"

#include <QHostAddress>
#include <QString>

namespace kelvo::server {

// What a client is counted as by the limits kept per client (failed sign-ins, bodies held).
class ClientAddress {
public:
    // An address as a key. An IPv6 client can pick any address of its /64, so the /64 is one key.
    static QString key(const QHostAddress& address);
    // Behind a reverse proxy: the key of the address the proxy saw. That is the last entry of all
    // the request's X-Forwarded-For lines taken together (a proxy may add a line of its own rather
    // than extend the client's), a port after it dropped. Whatever else stands there ("unknown",
    // garbage, nothing) counts under one key of its own, never the proxy's or a client's.
    static QString forwarded(const HttpRequest& request);
};

} // namespace kelvo::server
