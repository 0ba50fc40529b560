#pragma once

#include <QString>

#include <functional>

namespace kelvo {

// The program's diagnostic lines: one line per message on standard output, UTF-8, flushed at
// once, with any sign-in token masked and nothing a terminal would act on. Tests install a capture to read them instead.
class Diagnostics {
public:
    using Sink = std::function<void(const QString& line)>;

    static void print(const QString& line);
    // Replaces the output with `sink` until called again with an empty function.
    static void setSink(Sink sink);
};

} // namespace kelvo
