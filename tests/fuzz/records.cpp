// Server answers through the strict JSON reader, as every record the client decodes. Nothing
// but a JSON object decodes (an answer cut short never does); an answer Qt reads as an object
// decodes exactly as its re-serialised form does.
#include "FuzzSupport.h"

#include "api/APIClient.h"
#include "records/APIError.h"
#include "records/AuthResponse.h"
#include "records/CurrentTimeEntryResponse.h"
#include "records/DashboardEarningsResponse.h"
#include "records/JsonReader.h"
#include "records/ProjectsResponse.h"
#include "records/TasksResponse.h"
#include "records/TimeEntriesResponse.h"
#include "records/TimerResponse.h"

#include <QJsonDocument>

using namespace kelvo;

namespace {

template <class Record> void decodesAlike(const QByteArray& answer, const std::optional<QByteArray>& reserialised) {
    const auto first = JsonReader::decode<Record>(answer);
    if (!reserialised) {
        fuzz::require(!first, "only a JSON object decodes");
        return;
    }
    const auto second = JsonReader::decode<Record>(*reserialised);
    fuzz::require(first.has_value() == second.has_value(), "re-serialised: same outcome");
    if (first) {
        fuzz::require(*first == *second, "re-serialised: same record");
    } else {
        fuzz::require(first.error().description() == second.error().description(), "re-serialised: same error");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray answer = fuzz::bytes(data, size);
    const QJsonDocument document = QJsonDocument::fromJson(answer);
    const std::optional<QByteArray> reserialised =
        document.isObject() ? std::optional(document.toJson(QJsonDocument::Compact)) : std::nullopt;
    decodesAlike<TimeEntriesResponse>(answer, reserialised);
    decodesAlike<CurrentTimeEntryResponse>(answer, reserialised);
    decodesAlike<TimeEntry>(answer, reserialised);
    decodesAlike<AuthResponse>(answer, reserialised);
    decodesAlike<APIClient::UserResponse>(answer, reserialised);
    decodesAlike<APIClient::RefreshResponse>(answer, reserialised);
    decodesAlike<ProjectsResponse>(answer, reserialised);
    decodesAlike<TasksResponse>(answer, reserialised);
    decodesAlike<DashboardEarningsResponse>(answer, reserialised);
    decodesAlike<TimerResponse>(answer, reserialised);
    decodesAlike<APIError>(answer, reserialised);
    return 0;
}
