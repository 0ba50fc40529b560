// Request heads as kelvo-server checks them before any body is read, one "Name: value" per
// line, under small limits so that they are reached. A head let through has at most the
// allowed number of fields, no Transfer-Encoding, and at most one Content-Length value, plain
// digits within the body limit.
#include "FuzzSupport.h"

#include "HttpServer.h"

using namespace kelvo::server;
using kelvo::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const HttpServer::Limits limits{.maxBodyBytes = 1000, .maxHeaders = 8};
    HttpRequest request;
    for (const QByteArray& line : kelvo::fuzz::bytes(data, size).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        request.headers.append({line.left(colon < 0 ? line.size() : colon), colon < 0 ? QByteArray() : line.mid(colon + 1)});
    }
    if (HttpServer::headProblem(request, limits)) {
        return 0;
    }
    require(request.headers.size() <= limits.maxHeaders, "no more fields than allowed");
    QSet<QByteArray> lengths;
    for (const auto& [name, value] : request.headers) {
        require(name.compare("Transfer-Encoding", Qt::CaseInsensitive) != 0, "no Transfer-Encoding");
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            lengths.insert(value.trimmed());
        }
    }
    require(lengths.size() <= 1, "one Content-Length value");
    if (!lengths.isEmpty()) {
        const QByteArray length = *lengths.begin();
        bool digits = !length.isEmpty();
        for (const char c : length) {
            digits = digits && c >= '0' && c <= '9';
        }
        bool fits = false;
        require(digits && length.toLongLong(&fits) <= limits.maxBodyBytes && fits, "a Content-Length of digits within the limit");
    }
    return 0;
}
