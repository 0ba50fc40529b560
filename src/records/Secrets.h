#pragma once

#include <QString>

namespace kelvo {

// The sign-in tokens this process has held, and their masking: no line the program prints and
// no error text it shows carries one, whatever text the server hid it in.
class Secrets {
public:
    // Shorter texts are not masked: they would blank ordinary words, and are no secret.
    static constexpr qsizetype shortestMasked = 8;
    static inline const QString mask = QStringLiteral("<redacted>");

    static void add(const QString& secret);
    // `text` with every known secret (also as JSON writes it, "/" as "\/") replaced by the mask.
    static QString masked(QString text);
};

} // namespace kelvo
