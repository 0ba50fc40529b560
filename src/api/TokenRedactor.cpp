#include "TokenRedactor.h"

#include "records/Secrets.h"

namespace kelvo {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qsizetype skipSpace(const QByteArray& text, qsizetype at) {
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    return at;
}

// The index just past the string that opens at `at`, or the end of the text when it never
// closes (`closed` says which).
qsizetype stringEnd(const QByteArray& text, qsizetype at, bool* closed = nullptr) {
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            if (closed) {
                *closed = true;
            }
            return i + 1;
        }
    }
    if (closed) {
        *closed = false;
    }
    return text.size();
}

// The index just past the value that starts at `at`: a string, an object or array with all it
// holds, or a bare literal or number. The end of the text when the value is cut short.
qsizetype valueEnd(const QByteArray& text, qsizetype at) {
    const char first = text[at];
    if (first == '"') {
        return stringEnd(text, at);
    }
    if (first == '{' || first == '[') {
        int depth = 0;
        for (qsizetype i = at; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                i = stringEnd(text, i) - 1;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return i + 1;
            }
        }
        return text.size();
    }
    qsizetype i = at;
    while (i < text.size() && !isSpace(text[i]) && text[i] != ',' && text[i] != '}' &&
           text[i] != ']') {
        ++i;
    }
    return i;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Whether the body of a JSON string (between its quotes) names a member that holds a secret
// ("token", "access_token", "refresh_token", "authorization", in any letter case) once its
// escapes are resolved as the client's JSON reader (Qt's) resolves them. Only ASCII can spell
// them, so anything else simply fails to match.
bool namesSecret(const QByteArray& text, qsizetype begin, qsizetype end) {
    static constexpr qsizetype longestName = 13; // "refresh_token", "authorization"
    QByteArray name;
    for (qsizetype i = begin; i < end; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && i + 1 < end) {
            const char escape = text[++i];
            if (escape == 'u' && i + 4 < end) {
                c = 0;
                for (int k = 1; k <= 4; ++k) {
                    const int digit = hexDigit(text[i + k]);
                    if (digit < 0) {
                        return false;
                    }
                    c = c * 16 + digit;
                }
                i += 4;
            } else if (QByteArrayView("bfnrt").contains(escape)) {
                return false; // control characters, never a letter of a name
            } else {
                c = escape; // Qt's reader takes any other escaped character as itself: \k is k
            }
        }
        if (c > 0x7f || name.size() == longestName) {
            return false;
        }
        name += char(c);
    }
    name = name.toLower();
    return name == "token" || name == "access_token" || name == "refresh_token" ||
           name == "authorization";
}

} // namespace

QByteArray TokenRedactor::redact(const QByteArray& json) {
    static const QByteArray mask = QByteArrayLiteral("\"<redacted>\"");
    QByteArray out;
    out.reserve(json.size());
    qsizetype at = 0;
    while (at < json.size()) {
        if (json[at] != '"') {
            out += json[at++];
            continue;
        }
        bool closed = false;
        const qsizetype nameEnd = stringEnd(json, at, &closed);
        out += json.mid(at, nameEnd - at);
        const qsizetype colon = skipSpace(json, nameEnd);
        if (!closed || colon >= json.size() || json[colon] != ':' ||
            !namesSecret(json, at + 1, nameEnd - 1)) {
            at = nameEnd;
            continue;
        }
        const qsizetype value = skipSpace(json, colon + 1);
        out += json.mid(nameEnd, value - nameEnd);
        at = value;
        if (value < json.size()) {
            const qsizetype end = valueEnd(json, value);
            if (end > value) {
                out += mask;
                at = end;
            }
        }
    }
    return out;
}

QString TokenRedactor::rawResponseText(const QByteArray& body) {
    if (!body.isValidUtf8()) {
        return QStringLiteral("nil");
    }
    // The sign-in itself is masked before the cut, so no part of it is left at the end.
    const QByteArray masked = Secrets::masked(QString::fromUtf8(redact(body))).toUtf8();
    if (masked.size() <= longestRawText) {
        return QString::fromUtf8(masked);
    }
    qsizetype cut = longestRawText;
    while (cut > 0 && (uchar(masked[cut]) & 0xC0) == 0x80) {
        --cut; // masked[cut] continues a character: leave the whole character out
    }
    return QString::fromUtf8(masked.left(cut)) +
           QStringLiteral(" \u2026 (%1 bytes)").arg(body.size());
}

} // namespace kelvo
