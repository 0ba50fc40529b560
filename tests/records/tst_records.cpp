// Records, their strict JSON reading and writing, and the formatting helpers.
#include "api/APIClient.h"
#include "records/APIError.h"
#include "records/CurrentTimeEntryResponse.h"
#include "records/DashboardEarningsResponse.h"
#include "records/Formatting.h"
#include "records/RegisterRequest.h"
#include "records/StartTimerRequest.h"
#include "records/TasksResponse.h"
#include "records/TimeEntriesResponse.h"
#include "records/TimerResponse.h"
#include "records/Timestamp.h"

#include <QJsonDocument>
#include <QTest>

#include <limits>

using namespace kelvo;
using namespace Qt::StringLiterals;

namespace {

template <class T> QString failureOf(const QByteArray& json) {
    auto result = JsonReader::decode<T>(json);
    return result ? QString() : result.error().description();
}

// Decodes `json` as the record named `type`; the empty text on success, else the failure.
QString decodeAs(const QString& type, const QByteArray& json) {
    static const QHash<QString, QString (*)(const QByteArray&)> decoders = {
        {u"User"_s, &failureOf<User>},
        {u"Project"_s, &failureOf<Project>},
        {u"KelvoTask"_s, &failureOf<KelvoTask>},
        {u"TimeEntry"_s, &failureOf<TimeEntry>},
        {u"Pagination"_s, &failureOf<Pagination>},
        {u"CurrentTimerEarnings"_s, &failureOf<CurrentTimerEarnings>},
        {u"AuthResponse"_s, &failureOf<AuthResponse>},
        {u"RefreshResponse"_s, &failureOf<APIClient::RefreshResponse>},
        {u"TimerResponse"_s, &failureOf<TimerResponse>},
        {u"CurrentTimeEntryResponse"_s, &failureOf<CurrentTimeEntryResponse>},
        {u"TimeEntriesResponse"_s, &failureOf<TimeEntriesResponse>},
        {u"TasksResponse"_s, &failureOf<TasksResponse>},
        {u"DashboardEarningsResponse"_s, &failureOf<DashboardEarningsResponse>},
        {u"APIError"_s, &failureOf<APIError>},
    };
    return decoders.value(type)(json);
}

const QByteArray runningEntry = R"({"id":"e1","startTime":"2025-03-01T10:00:00.000Z","isRunning":true})";
const QDateTime now(QDate(2025, 3, 1), QTime(11, 0, 0), Qt::UTC);

TimeEntry entry(std::optional<qint64> duration, bool running, QString start = u"2025-03-01T10:00:00Z"_s) {
    TimeEntry e;
    e.startTime = std::move(start);
    e.duration = duration;
    e.isRunning = running;
    return e;
}

// failure: empty: must decode
struct DecodeOutcomeRow { QString type; QByteArray json; QString failure; };
struct FormattedDurationRow { std::optional<qint64> duration; bool running; QString text, start; };

} // namespace

class tst_Records : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodeOutcome_data() {
        QTest::addColumn<DecodeOutcomeRow>("row");
        const QByteArray e = R"({"id":"e","startTime":"s","isRunning":)";
        // clang-format off
        QTest::newRow("duration null") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + R"(false,"duration":null})"), QString()};
        QTest::newRow("duration as digits text") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + R"(false,"duration":"42"})"), u"duration: expected a whole number, found a string"_s};
        QTest::newRow("duration with fraction") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + R"(false,"duration":12.5})"), u"duration: expected a whole number, found 12.5"_s};
        QTest::newRow("flag as 1") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + "1}"), u"isRunning: expected true or false, found a number"_s};
        QTest::newRow("flag null") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + "null}"), u"isRunning: is null"_s};
        QTest::newRow("id as number") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(R"({"id":7,"startTime":"s","isRunning":true})"), u"id: expected a string, found a number"_s};
        QTest::newRow("optional text of wrong type") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + R"(true,"description":false})"), u"description: expected a string, found a boolean"_s};
        QTest::newRow("nested project name missing") << DecodeOutcomeRow{u"TimeEntry"_s, QByteArray(e + R"(true,"project":{"id":"p"}})"), u"project.name: missing"_s};
        QTest::newRow("project without isActive") << DecodeOutcomeRow{u"Project"_s, QByteArray(R"({"id":"p","name":"P"})"), u"isActive: missing"_s};
        QTest::newRow("project ignores unknown members") << DecodeOutcomeRow{u"Project"_s, QByteArray(R"({"id":"p","name":"P","isActive":true,"userId":"u","extra":[1,{}]})"), QString()};
        QTest::newRow("task count not whole") << DecodeOutcomeRow{u"KelvoTask"_s, QByteArray(R"({"id":"t","name":"T","isCompleted":false,"_count":{"timeEntries":1.5}})"), u"_count.timeEntries: expected a whole number, found 1.5"_s};
        QTest::newRow("pagination total 12.5") << DecodeOutcomeRow{u"Pagination"_s, QByteArray(R"({"page":1,"limit":10,"total":12.5,"pages":2})"), u"total: expected a whole number, found 12.5"_s};
        QTest::newRow("integer literal for a real") << DecodeOutcomeRow{u"CurrentTimerEarnings"_s, QByteArray(R"({"earnings":0,"duration":0,"isRunning":false,"hourlyRate":50})"), QString()};
        QTest::newRow("auth without message") << DecodeOutcomeRow{u"AuthResponse"_s, QByteArray(R"({"user":{"id":"u","name":"N","email":"e"},"token":"t"})"), QString()};
        QTest::newRow("auth user email missing") << DecodeOutcomeRow{u"AuthResponse"_s, QByteArray(R"({"user":{"id":"u","name":"N"},"token":"t"})"), u"user.email: missing"_s};
        QTest::newRow("refresh without message") << DecodeOutcomeRow{u"RefreshResponse"_s, QByteArray(R"({"token":"t"})"), u"message: missing"_s};
        QTest::newRow("timer response without message") << DecodeOutcomeRow{u"TimerResponse"_s, QByteArray("{\"timeEntry\":" + runningEntry + "}"), u"message: missing"_s};
        QTest::newRow("current entry null") << DecodeOutcomeRow{u"CurrentTimeEntryResponse"_s, QByteArray(R"({"timeEntry":null})"), u"timeEntry: is null"_s};
        QTest::newRow("entries missing") << DecodeOutcomeRow{u"TimeEntriesResponse"_s, QByteArray(R"({"pagination":{"page":1,"limit":10,"total":0,"pages":0}})"), u"entries: missing"_s};
        QTest::newRow("one bad element fails the list") << DecodeOutcomeRow{u"TimeEntriesResponse"_s, QByteArray("{\"entries\":[" + runningEntry + "," + runningEntry + R"(,{"id":"x","startTime":"s"}]})"), u"entries[2].isRunning: missing"_s};
        QTest::newRow("list element not an object") << DecodeOutcomeRow{u"TasksResponse"_s, QByteArray(R"({"tasks":[3]})"), u"tasks[0]: expected an object"_s};
        QTest::newRow("earnings member null") << DecodeOutcomeRow{u"DashboardEarningsResponse"_s, QByteArray(R"({"earnings":{"currentTimer":{"earnings":1,"duration":1,"isRunning":true,"hourlyRate":1},"today":{"earnings":1,"duration":null},"thisWeek":{"earnings":1,"duration":1}}})"), u"earnings.today.duration: is null"_s};
        QTest::newRow("api error with only message") << DecodeOutcomeRow{u"APIError"_s, QByteArray(R"({"message":"m"})"), u"error: missing"_s};
        QTest::newRow("top level array") << DecodeOutcomeRow{u"APIError"_s, QByteArray("[]"), u"expected a JSON object at the top level"_s};
        // clang-format on
    }
    void decodeOutcome() {
        QFETCH(DecodeOutcomeRow, row);
        auto [type, json, failure] = row;
        const QString actual = decodeAs(type, json);
        if (failure.isEmpty()) {
            QCOMPARE(actual, QString());
        } else {
            QVERIFY2(actual.startsWith(failure), qPrintable(actual));
        }
    }
    void encodeBodies() {
        QCOMPARE(moneyText(1234567.891), u"$1234567.89"_s);
        QCOMPARE(moneyText(-1e9), u"$-1000000000.00"_s);
        for (double absurd : {1e9 + 1, -2e12, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
            QCOMPARE(moneyText(absurd), u"\u2014"_s);
        }
        QCOMPARE(perceivedLength(u"e\u0301t\u00e9"_s), 3);
        QCOMPARE(*StartTimerRequest{}.toJson(), QByteArray("{}"));
        // Texts are escaped, never spliced.
        const auto quoted = StartTimerRequest{{}, {}, u"say \"hi\"\n\u00e9"_s}.toJson();
        QCOMPARE(QJsonDocument::fromJson(*quoted)[u"description"].toString(), u"say \"hi\"\n\u00e9"_s);
        for (double rate : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()}) {
            const auto body = RegisterRequest{u"e"_s, u"p"_s, u"n"_s, rate, {}, {}}.toJson();
            QVERIFY(!body);
            QCOMPARE(body.error().member, u"defaultHourlyRate"_s);
        }
    }
    void formattedDuration_data() {
        QTest::addColumn<FormattedDurationRow>("row");
        const auto row = [](const char* name, std::optional<qint64> duration, bool running, const QString& text,
                            const QString& start = u"2025-03-01T10:00:00Z"_s) {
            QTest::newRow(name) << FormattedDurationRow{duration, running, text, start};
        };
        row("5 s", 5, false, u" 5 sec"_s);
        row("60 s", 60, false, u"00:01"_s);
        row("123:59", 123 * 3600 + 59 * 60 + 59, false, u"123:59"_s);
        row("stopped without duration", {}, false, u" 0 sec"_s);
        row("running without duration", {}, true, u"01:00"_s);
        row("duration wins while running", 7, true, u" 7 sec"_s);
        // Figures beyond reason show the placeholder instead of a text that wrecks the row.
        row("100,000 hours", 100'000LL * 3600, false, u"100000:00"_s);
        row("more than 100,000 hours", 100'000LL * 3600 + 1, false, u"\u2014"_s);
        row("negative", -5, false, u"\u2014"_s);
        row("running since before 1970", {}, true, u"\u2014"_s, u"1969-12-31T23:59:59Z"_s);
        row("running since the future", {}, true, u" 0 sec"_s, u"2030-01-01T00:00:00Z"_s);
    }
    void formattedDuration() {
        QFETCH(FormattedDurationRow, row);
        auto [duration, running, text, start] = row;
        QCOMPARE(entry(duration, running, start).formattedDuration(now), text);
    }
    void elapsedSeconds_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("fraction truncates") << u"2025-03-01T10:59:58.999Z"_s << qint64(1);
        QTest::newRow("six fraction digits") << u"2025-03-01T10:59:00.123456Z"_s << qint64(59);
        QTest::newRow("numeric offset") << u"2025-03-01T12:00:00+02:00"_s << qint64(3600);
        QTest::newRow("negative offset") << u"2025-03-01T05:30:00-04:30"_s << qint64(3600);
        QTest::newRow("space instead of T") << u"2025-03-01 10:00:00Z"_s << qint64(0);
        QTest::newRow("no such day") << u"2025-02-30T10:00:00Z"_s << qint64(0);
        QTest::newRow("hour 24") << u"2025-03-01T24:00:00Z"_s << qint64(0);
        QTest::newRow("trailing text") << u"2025-03-01T10:00:00Zjunk"_s << qint64(0);
        QTest::newRow("no zone") << u"2025-03-01T10:00:00"_s << qint64(0);
        QTest::newRow("empty fraction") << u"2025-03-01T10:00:00.Z"_s << qint64(0);
        QTest::newRow("non-ASCII digit") << u"2025-03-01T1\u0660:00:00Z"_s << qint64(0);
    }
    void elapsedSeconds() {
        QFETCH(QString, start);
        QFETCH(qint64, seconds);
        QCOMPARE(entry({}, true, start).elapsedSeconds(now), seconds);
    }
    void startTimeForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("milliseconds") << u"2025-03-01T10:00:00.123Z"_s << true;
        QTest::newRow("whole seconds") << u"2025-03-01T10:00:00Z"_s << true;
        QTest::newRow("microseconds") << u"2025-03-01T10:00:00.123456Z"_s << true;
        QTest::newRow("two digits") << u"2025-03-01T10:00:00.12Z"_s << false;
        QTest::newRow("nine digits") << u"2025-03-01T10:00:00.123456789Z"_s << false;
        QTest::newRow("offset") << u"2025-03-01T10:00:00.000+02:00"_s << false;
        QTest::newRow("lower-case z") << u"2025-03-01T10:00:00z"_s << false;
    }
    void startTimeForms() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(Timestamp::parseStartTime(text).has_value(), accepted);
    }
    void colorFromHex_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QColor>("color"); // invalid: none
        QTest::newRow("six digits") << u"#10B981"_s << QColor(16, 185, 129, 255);
        QTest::newRow("three digits") << u"fff"_s << QColor(255, 255, 255, 255);
        QTest::newRow("alpha first") << u"#80FF0000"_s << QColor(255, 0, 0, 128);
        QTest::newRow("lower case, punctuation both ends") << u"  (#a0b1c2);"_s << QColor(160, 177, 194);
        QTest::newRow("0x prefix") << u"0x0F0F"_s << QColor(0, 15, 15);
        QTest::newRow("0x prefix, eight long") << u"0x00FF00"_s << QColor(0, 255, 0, 0);
        QTest::newRow("five digits") << u"#12345"_s << QColor();
        QTest::newRow("no digits read") << u"#GGGGGG"_s << QColor(0, 0, 0, 255);
        QTest::newRow("digits stop early") << u"#12GG34"_s << QColor(0, 0, 0x12, 255);
        QTest::newRow("only punctuation") << u"#"_s << QColor();
    }
    void colorFromHex() {
        QFETCH(QString, hex);
        QFETCH(QColor, color);
        const auto result = kelvo::colorFromHex(hex);
        QCOMPARE(result.has_value(), color.isValid());
        QCOMPARE(result.value_or(QColor()).rgba(), color.rgba());
    }
};

QTEST_GUILESS_MAIN(tst_Records)
#include "tst_records.moc"
