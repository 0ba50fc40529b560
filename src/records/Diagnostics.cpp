#include "Diagnostics.h"

#include "PlainText.h"
#include "Secrets.h"

#include <cstdio>

namespace kelvo {

namespace {
Diagnostics::Sink& sink() {
    static Diagnostics::Sink value;
    return value;
}
} // namespace

void Diagnostics::print(const QString& text) {
    const QString line = Secrets::masked(PlainText::line(text));
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void Diagnostics::setSink(Sink newSink) {
    sink() = std::move(newSink);
}

} // namespace kelvo
