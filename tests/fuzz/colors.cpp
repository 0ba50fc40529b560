// Project colours as the server sends them. A colour read is read again, the same, from its own
// "#AARRGGBB" name.
#include "FuzzSupport.h"

#include "records/Formatting.h"

using namespace kelvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto color = colorFromHex(QString::fromUtf8(fuzz::bytes(data, size)));
    if (color) {
        fuzz::require(color->isValid(), "a valid colour");
        fuzz::require(colorFromHex(color->name(QColor::HexArgb)) == color, "read back the same");
    }
    return 0;
}
