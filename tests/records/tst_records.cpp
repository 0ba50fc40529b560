#include "api/APIClient.h"
#include "records/APIError.h"
#include "records/AuthResponse.h"
#include "records/CurrentTimeEntryResponse.h"
#include "records/DashboardEarningsResponse.h"
#include "records/LoginRequest.h"
#include "records/ProjectsResponse.h"
#include "records/RegisterRequest.h"
#include "records/StartTimerRequest.h"
#include "records/TasksResponse.h"
#include "records/TimeEntriesResponse.h"
#include "records/TimerResponse.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
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

QJsonObject encodedObject(const std::expected<QByteArray, EncodingError>& bytes) {
    return bytes ? QJsonDocument::fromJson(*bytes).object() : QJsonObject();
}

} // namespace

class tst_Records : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodeOutcome_data();
    void decodeOutcome();
    void optionalMembersBecomeNone();
    void nestedValuesAreRead();
    void encodeBodies();
    void nonFiniteRealIsRefused_data();
    void nonFiniteRealIsRefused();
    void hostileInputNeverCrashes();
};

void tst_Records::decodeOutcome_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("failure"); // empty: must decode

    QTest::newRow("running entry without optional members") << u"TimeEntry"_s << runningEntry << QString();
    QTest::newRow("duration null") << u"TimeEntry"_s
                                   << QByteArray(R"({"id":"e","startTime":"s","isRunning":false,"duration":null})") << QString();
    QTest::newRow("duration as digits text")
        << u"TimeEntry"_s << QByteArray(R"({"id":"e","startTime":"s","isRunning":false,"duration":"42"})")
        << u"duration: expected a whole number, found a string"_s;
    QTest::newRow("duration with fraction") << u"TimeEntry"_s
                                            << QByteArray(R"({"id":"e","startTime":"s","isRunning":false,"duration":12.5})")
                                            << u"duration: expected a whole number, found 12.5"_s;
    QTest::newRow("flag as 1") << u"TimeEntry"_s << QByteArray(R"({"id":"e","startTime":"s","isRunning":1})")
                               << u"isRunning: expected true or false, found a number"_s;
    QTest::newRow("flag null") << u"TimeEntry"_s << QByteArray(R"({"id":"e","startTime":"s","isRunning":null})")
                               << u"isRunning: is null"_s;
    QTest::newRow("id as number") << u"TimeEntry"_s << QByteArray(R"({"id":7,"startTime":"s","isRunning":true})")
                                  << u"id: expected a string, found a number"_s;
    QTest::newRow("optional text of wrong type")
        << u"TimeEntry"_s << QByteArray(R"({"id":"e","startTime":"s","isRunning":true,"description":false})")
        << u"description: expected a string, found a boolean"_s;
    QTest::newRow("nested project name missing")
        << u"TimeEntry"_s << QByteArray(R"({"id":"e","startTime":"s","isRunning":true,"project":{"id":"p"}})")
        << u"project.name: missing"_s;
    QTest::newRow("project without isActive") << u"Project"_s << QByteArray(R"({"id":"p","name":"P"})") << u"isActive: missing"_s;
    QTest::newRow("project ignores unknown members")
        << u"Project"_s << QByteArray(R"({"id":"p","name":"P","isActive":true,"userId":"u","extra":[1,{}]})") << QString();
    QTest::newRow("task with count member")
        << u"KelvoTask"_s << QByteArray(R"({"id":"t","name":"T","isCompleted":false,"_count":{"timeEntries":3},"count":"x"})")
        << QString();
    QTest::newRow("task count not whole") << u"KelvoTask"_s
                                          << QByteArray(
                                                 R"({"id":"t","name":"T","isCompleted":false,"_count":{"timeEntries":1.5}})")
                                          << u"_count.timeEntries: expected a whole number, found 1.5"_s;
    QTest::newRow("pagination total 12.5") << u"Pagination"_s << QByteArray(R"({"page":1,"limit":10,"total":12.5,"pages":2})")
                                           << u"total: expected a whole number, found 12.5"_s;
    QTest::newRow("integer literal for a real")
        << u"CurrentTimerEarnings"_s << QByteArray(R"({"earnings":0,"duration":0,"isRunning":false,"hourlyRate":50})")
        << QString();
    QTest::newRow("auth without message") << u"AuthResponse"_s
                                          << QByteArray(R"({"user":{"id":"u","name":"N","email":"e"},"token":"t"})") << QString();
    QTest::newRow("auth user email missing")
        << u"AuthResponse"_s << QByteArray(R"({"user":{"id":"u","name":"N"},"token":"t"})") << u"user.email: missing"_s;
    QTest::newRow("refresh without message") << u"RefreshResponse"_s << QByteArray(R"({"token":"t"})") << u"message: missing"_s;
    QTest::newRow("timer response without message")
        << u"TimerResponse"_s << QByteArray("{\"timeEntry\":" + runningEntry + "}") << u"message: missing"_s;
    QTest::newRow("current entry null") << u"CurrentTimeEntryResponse"_s << QByteArray(R"({"timeEntry":null})")
                                        << u"timeEntry: is null"_s;
    QTest::newRow("entries without pagination")
        << u"TimeEntriesResponse"_s << QByteArray("{\"entries\":[" + runningEntry + "]}") << QString();
    QTest::newRow("entries missing") << u"TimeEntriesResponse"_s
                                     << QByteArray(R"({"pagination":{"page":1,"limit":10,"total":0,"pages":0}})")
                                     << u"entries: missing"_s;
    QTest::newRow("one bad element fails the list")
        << u"TimeEntriesResponse"_s
        << QByteArray("{\"entries\":[" + runningEntry + "," + runningEntry + R"(,{"id":"x","startTime":"s"}]})")
        << u"entries[2].isRunning: missing"_s;
    QTest::newRow("list element not an object")
        << u"TasksResponse"_s << QByteArray(R"({"tasks":[3]})") << u"tasks[0]: expected an object"_s;
    QTest::newRow("earnings member null")
        << u"DashboardEarningsResponse"_s
        << QByteArray(
               R"({"earnings":{"currentTimer":{"earnings":1,"duration":1,"isRunning":true,"hourlyRate":1},"today":{"earnings":1,"duration":null},"thisWeek":{"earnings":1,"duration":1}}})")
        << u"earnings.today.duration: is null"_s;
    QTest::newRow("api error with only message") << u"APIError"_s << QByteArray(R"({"message":"m"})") << u"error: missing"_s;
    QTest::newRow("top level array") << u"APIError"_s << QByteArray("[]") << u"expected a JSON object at the top level"_s;
}

void tst_Records::decodeOutcome() {
    QFETCH(QString, type);
    QFETCH(QByteArray, json);
    QFETCH(QString, failure);
    const QString actual = decodeAs(type, json);
    if (failure.isEmpty()) {
        QCOMPARE(actual, QString());
    } else {
        QVERIFY2(actual.startsWith(failure), qPrintable(actual));
    }
}

void tst_Records::optionalMembersBecomeNone() {
    auto entry = JsonReader::decode<TimeEntry>(runningEntry);
    QVERIFY(entry);
    QVERIFY(entry->isRunning);
    QVERIFY(!entry->duration && !entry->endTime && !entry->project && !entry->task);
    QVERIFY(!entry->description && !entry->hourlyRateSnapshot && !entry->projectId);

    auto withNulls = JsonReader::decode<TimeEntry>(
        R"({"id":"e","startTime":"s","isRunning":false,"duration":null,"project":null,"endTime":null})");
    QVERIFY(withNulls);
    QVERIFY(!withNulls->duration && !withNulls->project && !withNulls->endTime);

    auto pages = JsonReader::decode<TimeEntriesResponse>(R"({"entries":[]})");
    QVERIFY(pages && pages->entries.isEmpty() && !pages->pagination);
}

void tst_Records::nestedValuesAreRead() {
    auto task = JsonReader::decode<KelvoTask>(
        R"({"id":"t","name":"T","isCompleted":true,"hourlyRate":12,"_count":{"timeEntries":3},"project":{"id":"p","name":"P","color":"#fff"}})");
    QVERIFY(task);
    QVERIFY(task->count);
    QCOMPARE(task->count->timeEntries, 3);
    QCOMPARE(task->project->color, u"#fff"_s);
    QCOMPARE(*task->hourlyRate, 12.0);

    auto earnings =
        JsonReader::decode<CurrentTimerEarnings>(R"({"earnings":1.25,"duration":90,"isRunning":true,"hourlyRate":50})");
    QVERIFY(earnings);
    QCOMPARE(earnings->hourlyRate, 50.0);
    QCOMPARE(earnings->duration, 90);

    auto entry = JsonReader::decode<TimeEntry>(
        R"({"id":"e","startTime":"s","isRunning":false,"duration":9007199254740993,"task":{"id":"t","name":"Write"}})");
    QVERIFY(entry);
    QCOMPARE(entry->task->name, u"Write"_s);
    QVERIFY(*entry->duration > 9007199254740000LL);
}

void tst_Records::encodeBodies() {
    const QJsonObject login = encodedObject(LoginRequest{u"a@b.c"_s, u"pw"_s}.toJson());
    QCOMPARE(login.keys(), (QStringList{u"email"_s, u"password"_s}));

    const QJsonObject plain = encodedObject(RegisterRequest{u"e"_s, u"p"_s, u"n"_s}.toJson());
    QCOMPARE(plain.keys(), (QStringList{u"email"_s, u"name"_s, u"password"_s}));

    const QJsonObject rated = encodedObject(RegisterRequest{u"e"_s, u"p"_s, u"n"_s, 25.0, u"c"_s, {}}.toJson());
    QCOMPARE(rated.value(u"defaultHourlyRate").toDouble(), 25.0);
    QCOMPARE(rated.value(u"captchaId").toString(), u"c"_s);
    QVERIFY(!rated.contains(u"captchaValue"));

    const auto projectOnly = StartTimerRequest{u"p1"_s, {}, {}}.toJson();
    QCOMPARE(*projectOnly, QByteArray(R"({"projectId":"p1"})"));
    QCOMPARE(*StartTimerRequest{}.toJson(), QByteArray("{}"));

    // Texts are escaped, never spliced.
    const auto quoted = StartTimerRequest{{}, {}, u"say \"hi\"\n\u00e9"_s}.toJson();
    QCOMPARE(encodedObject(quoted).value(u"description").toString(), u"say \"hi\"\n\u00e9"_s);
}

void tst_Records::nonFiniteRealIsRefused_data() {
    QTest::addColumn<double>("rate");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity();
}

void tst_Records::nonFiniteRealIsRefused() {
    QFETCH(double, rate);
    const auto body = RegisterRequest{u"e"_s, u"p"_s, u"n"_s, rate, {}, {}}.toJson();
    QVERIFY(!body);
    QCOMPARE(body.error().member, u"defaultHourlyRate"_s);
}

void tst_Records::hostileInputNeverCrashes() {
    QByteArray valid = "{\"entries\":[";
    for (int i = 0; i < 20; ++i) {
        valid +=
            (i ? "," : "") +
            QByteArray(
                R"({"id":"e","startTime":"2025-03-01T10:00:00Z","isRunning":false,"duration":5,"project":{"id":"p","name":"P"},"task":{"id":"t","name":"T"}})");
    }
    valid += R"(],"pagination":{"page":1,"limit":20,"total":20,"pages":1}})";
    QVERIFY(JsonReader::decode<TimeEntriesResponse>(valid));

    int decoded = 0;
    for (qsizetype cut = 0; cut < valid.size(); ++cut) {
        decoded += JsonReader::decode<TimeEntriesResponse>(valid.left(cut)).has_value();
    }
    QCOMPARE(decoded, 0);

    QRandomGenerator random(20261206);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = valid;
        const int flips = 1 + int(random.bounded(8));
        for (int i = 0; i < flips; ++i) {
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        }
        (void)JsonReader::decode<TimeEntriesResponse>(bytes);
        QByteArray noise(int(random.bounded(200)), Qt::Uninitialized);
        for (char& c : noise) {
            c = char(random.bounded(256));
        }
        (void)JsonReader::decode<DashboardEarningsResponse>(noise);
    }
}

QTEST_GUILESS_MAIN(tst_Records)
#include "tst_records.moc"
