#include "BearerToken.h"

namespace kelvo {

namespace {

constexpr qsizetype longestToken = 4096;

bool isTokenCharacter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~' || c == u'+' || c == u'/';
}

} // namespace

bool isBearerToken(QStringView token) {
    // Every accepted character is ASCII, so characters count bytes.
    if (token.size() > longestToken) {
        return false;
    }
    qsizetype end = token.size();
    while (end > 0 && token[end - 1] == u'=') {
        --end;
    }
    if (end == 0) {
        return token.isEmpty(); // "=" padding needs something before it
    }
    return std::all_of(token.begin(), token.begin() + end, isTokenCharacter);
}

} // namespace kelvo
