#pragma once

#include <QStringView>

namespace kelvo {

// Whether `token` may go into an "Authorization: Bearer" header as it is: the bearer-token
// characters (letters, digits, "-._~+/", then any "=" padding) and at most 4,096 bytes. Empty
// is allowed: "Bearer " carries nothing. Anything else (a CR or LF above all) could smuggle
// headers or a second request into the connection.
bool isBearerToken(QStringView token);

} // namespace kelvo
