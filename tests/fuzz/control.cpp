// The lines `kelvo <command>` and the running program send each other over the control socket.
// A line that is read is within its size limit and reads back, the same, from its own writing.
#include "FuzzSupport.h"

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

using namespace kelvo;

namespace {

template <class Message> void readsBack(const QByteArray& line) {
    const auto message = Message::fromLine(line);
    if (!message) {
        return;
    }
    fuzz::require(line.size() < Message::maxLineBytes, "within the size limit");
    const QByteArray written = message->toLine();
    fuzz::require(written.endsWith('\n') && written.count('\n') == 1, "one line");
    const auto again = Message::fromLine(written.chopped(1));
    fuzz::require(again && *again == *message, "read back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray line = fuzz::bytes(data, size);
    readsBack<ControlRequest>(line);
    readsBack<ControlReply>(line);
    return 0;
}
