// The week's figures: spans split at local midnights, cells a spreadsheet keeps as text, every
// page of a range read once, the report's dates, and the server's own weekly total.
#include "HttpProbe.h"
#include "Json.h"
#include "KelvoServer.h"
#include "TestSupport.h"

#include "control/TimeReport.h"
#include "records/EntryCsv.h"
#include "records/Formatting.h"
#include "screens/WeekChart.h"
#include "state/EntryPager.h"
#include "state/WeekViewModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QAccessible>
#include <QApplication>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

// At 60 an hour, so that a minute earns one.
TimeEntry span(const char* start, const char* end) {
    TimeEntry entry{.id = u"e"_s, .startTime = QString::fromLatin1(start), .isRunning = !end};
    if (end) {
        entry.endTime = QString::fromLatin1(end);
    }
    entry.hourlyRateSnapshot = 60;
    return entry;
}

// `count` stopped entries from id `first` on, and the pagination block.
QByteArray page(int first, int count, int pages) {
    QList<QByteArray> items;
    for (int i = first; i < first + count; ++i) {
        items.append(json::entry("e" + QByteArray::number(i), false));
    }
    return json::entries(items).chopped(1) + R"(,"pagination":{"page":1,"limit":100,"total":0,"pages":)" +
           QByteArray::number(pages) + "}}";
}

} // namespace

class tst_Week : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tally_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDate>("monday");
        QTest::addColumn<TimeEntry>("entry");
        QTest::addColumn<QList<int>>("minutes"); // per day, Monday first
        const QDate march3(2025, 3, 3);
        QTest::newRow("across midnight") << QByteArray("UTC") << march3 << span("2025-03-03T22:00:00Z", "2025-03-04T02:00:00Z") << QList{120, 120, 0, 0, 0, 0, 0};
        QTest::newRow("begun the day before") << QByteArray("UTC") << march3 << span("2025-03-02T23:00:00Z", "2025-03-03T01:00:00Z") << QList{60, 0, 0, 0, 0, 0, 0};
        QTest::newRow("after the week") << QByteArray("UTC") << march3 << span("2025-03-10T00:00:00Z", "2025-03-10T01:00:00Z") << QList{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("stopped, its end unreadable") << QByteArray("UTC") << march3 << span("2025-03-04T10:00:00Z", "2025-03-04T25:00:00Z") << QList{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("running, up to now") << QByteArray("UTC") << march3 << span("2025-03-05T10:00:00Z", nullptr) << QList{0, 0, 120, 0, 0, 0, 0};
        QTest::newRow("local midnight, not UTC's") << QByteArray("Asia/Kolkata") << march3 << span("2025-03-03T18:00:00Z", "2025-03-03T19:00:00Z") << QList{30, 30, 0, 0, 0, 0, 0};
        // The whole of Berlin's week with the spring change: 167 hours.
        QTest::newRow("a 23-hour Sunday") << QByteArray("Europe/Berlin") << QDate(2025, 3, 24) << span("2025-03-23T23:00:00Z", "2025-03-30T22:00:00Z") << QList{1440, 1440, 1440, 1440, 1440, 1440, 1380};
        QTest::newRow("a 25-hour Sunday") << QByteArray("Europe/Berlin") << QDate(2025, 10, 20) << span("2025-10-25T22:00:00Z", "2025-10-26T23:00:00Z") << QList{0, 0, 0, 0, 0, 0, 1500};
    }
    void tally() {
        QFETCH(QByteArray, zone);
        QFETCH(QDate, monday);
        QFETCH(TimeEntry, entry);
        QFETCH(QList<int>, minutes);
        TimeTally tally(monday, monday.addDays(6), QTimeZone(zone));
        tally.add(entry, utc("2025-03-05T12:00:00Z"));
        QList<int> counted;
        for (const TimeTally::Day& day : tally.days()) {
            counted.append(int(day.milliseconds / 60'000));
        }
        QCOMPARE(counted, minutes);
        const int total = int(std::accumulate(minutes.begin(), minutes.end(), 0));
        QCOMPARE(tally.milliseconds(), total * 60'000LL);
        QCOMPARE(TimeTally::roundedToCents(tally.earnings()), double(total));
        QCOMPARE(tally.projects().size(), total ? 1 : 0);
    }
    void csvCells_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("cell");
        QTest::newRow("plain") << u"Homepage"_s << QByteArray("Homepage");
        QTest::newRow("formula") << u"=HYPERLINK(\"x\")"_s << QByteArray("\"'=HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("minus") << u"-1"_s << QByteArray("'-1");
        QTest::newRow("at") << u"@SUM(A1)"_s << QByteArray("'@SUM(A1)");
        QTest::newRow("tab") << u"\t=1"_s << QByteArray("' =1");
        QTest::newRow("carriage return") << u"\r=1"_s << QByteArray("' =1");
        QTest::newRow("behind an escape") << u"\x1b=1"_s << QByteArray("'=1");
        QTest::newRow("comma") << u"a, b"_s << QByteArray("\"a, b\"");
        QTest::newRow("line break") << u"one\ntwo"_s << QByteArray("one two");
        QTest::newRow("terminal control") << u"a\x1b]52;c;eA==\x07z"_s << QByteArray("a]52;c;eA==z");
    }
    void csvCells() {
        QFETCH(QString, text);
        QFETCH(QByteArray, cell);
        QCOMPARE(EntryCsv::cell(text, true), cell);
    }
    void csvRow() {
        // 1 h 20 min 30 s at 85: the amount comes from the exact span, not the rounded hours.
        TimeEntry entry = span("2025-03-03T10:00:00Z", "2025-03-03T11:20:30Z");
        entry.hourlyRateSnapshot = 85;
        entry.project = TimeEntryProject{u"p1"_s, u"Web"_s, std::nullopt};
        entry.description = u"Notes, v2"_s;
        QCOMPARE(EntryCsv::row(entry, QTimeZone("Europe/Berlin"), utc("2025-03-05T12:00:00Z")),
                 QByteArray("2025-03-03,2025-03-03T11:00:00,2025-03-03T12:20:30,1.34,Web,,\"Notes, v2\",85.00,114.04\r\n"));
    }
    void pages_data() {
        QTest::addColumn<QByteArrayList>("answers");
        QTest::addColumn<QByteArray>("running");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("entries");
        QTest::newRow("a short page is the last") << QByteArrayList{page(0, 100, 5), page(100, 30, 5)} << QByteArray("null") << 2 << 130;
        QTest::newRow("the last page by number") << QByteArrayList{page(0, 100, 1)} << QByteArray("null") << 1 << 100;
        QTest::newRow("entries that moved kept once") << QByteArrayList{page(0, 100, 2), page(50, 100, 2)} << QByteArray("null") << 2 << 150;
        QTest::newRow("an empty page ends") << QByteArrayList{page(0, 100, 9), page(0, 0, 9)} << QByteArray("null") << 2 << 100;
        QTest::newRow("the running entry joins") << QByteArrayList{page(0, 3, 1)} << json::entry("r1", true) << 1 << 4;
        QTest::newRow("once") << QByteArrayList{page(0, 3, 1)} << json::entry("e2", true) << 1 << 3;
    }
    void pages() {
        QFETCH(QByteArrayList, answers);
        QFETCH(QByteArray, running);
        QFETCH(int, requests);
        QFETCH(int, entries);
        ClientFixture f;
        for (const QByteArray& answer : answers) {
            f.server.enqueue("GET", u"/time-entries"_s, FakeResponse::json(200, answer));
        }
        f.server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(running)));
        const auto [from, to] = EntryPager::requestSpan(QDate(2025, 3, 3), QDate(2025, 3, 9), QTimeZone("Europe/Berlin"));
        const auto read = QCoro::waitFor(EntryPager::load(&f.client, from, to));
        QVERIFY(read.has_value());
        QCOMPARE(read->entries.size(), entries);
        QCOMPARE(f.server.requestLines().count(u"GET /time-entries/current"_s), 1);
        QCOMPARE(f.server.requestLines().size(), requests + 1);
        // From the day before the first local midnight to the last, as UTC instants.
        QCOMPARE(f.server.requestLines().first(),
                 u"GET /time-entries?startDate=2025-03-01T23:00:00.000Z&endDate=2025-03-09T23:00:00.000Z&page=1&limit=100"_s);
    }
    void reportDates_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("dates"); // "from to", or the error
        // Today is Wednesday 5 March 2025.
        QTest::newRow("this week") << QString() << QString() << u"2025-03-03 2025-03-09"_s;
        QTest::newRow("from, up to today") << u"2025-02-01"_s << QString() << u"2025-02-01 2025-03-05"_s;
        QTest::newRow("to, from its Monday") << QString() << u"2025-02-13"_s << u"2025-02-10 2025-02-13"_s;
        QTest::newRow("one day") << u"2025-02-13"_s << u"2025-02-13"_s << u"2025-02-13 2025-02-13"_s;
        QTest::newRow("not a date") << u"2025-02-30"_s << QString() << u"\"2025-02-30\" is not a date (YYYY-MM-DD)"_s;
        QTest::newRow("from, in the future") << u"2025-04-01"_s << QString() << u"--from 2025-04-01 is after --to 2025-03-05"_s;
        QTest::newRow("backwards") << u"2025-02-14"_s << u"2025-02-13"_s << u"--from 2025-02-14 is after --to 2025-02-13"_s;
        QTest::newRow("centuries") << u"1025-01-01"_s << QString() << u"a report covers at most 3660 days"_s;
    }
    void reportDates() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, dates);
        const auto given = [](const QString& text) { return text.isEmpty() ? std::nullopt : std::optional(text); };
        const auto read = TimeReport::datesFor(given(from), given(to), QDate(2025, 3, 5));
        QCOMPARE(read ? read->from.toString(Qt::ISODate) + u' ' + read->to.toString(Qt::ISODate) : read.error(), dates);
    }
    void dayCaptions_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("caption");
        QTest::newRow("today") << QDate(2025, 3, 5) << QString();
        QTest::newRow("yesterday") << QDate(2025, 3, 4) << u"Yesterday"_s;
        QTest::newRow("this year") << QDate(2025, 3, 3) << u"Mon 3 Mar"_s;
        QTest::newRow("last year") << QDate(2024, 12, 30) << u"Mon 30 Dec 2024"_s;
    }
    void dayCaptions() {
        QFETCH(QDate, date);
        QFETCH(QString, caption);
        QCOMPARE(dayCaption(date, QDate(2025, 3, 5)), caption);
    }
    void weekOnScreen() {
        qputenv("TZ", "UTC");
        ViewFixture f;
        f.clock.set(utc("2025-03-05T12:00:00Z"));
        f.server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current()));
        f.server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({json::entry("e1", false, "2025-03-04T09:00:00.000Z", R"(,"hourlyRateSnapshot":60,"project":{"id":"p1","name":"Web"})")})));
        QVERIFY(f.preferences.setWeeklyTargetHours(40).has_value());
        WeekViewModel week(&f.client, &f.preferences, &f.clock);
        WeekChart chart(&week);
        QCOMPARE(week.targetHours(QDate(2025, 3, 4)), 8.0);
        QCOMPARE(week.targetHours(QDate(2025, 3, 8)), 0.0);
        QCoro::waitFor(week.load());
        QCOMPARE(week.tally().milliseconds(), 65'000);
        QCOMPARE(chart.selectedDay(), 2); // today, Wednesday
        QTest::keyClick(&chart, Qt::Key_Left);
        QCOMPARE(chart.accessibleDescription(), u"Tuesday 4 March: 0 h 01 m, $1.08. Web 0 h 01 m."_s);
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(&chart)->tableInterface();
        QVERIFY(table && table->isRowSelected(1));
        QCOMPARE(table->cellAt(1, 2)->text(QAccessible::Name) + u' ' + table->cellAt(1, 3)->text(QAccessible::Name), u"$1.08 Web"_s);
        // A week left behind while it loads brings nothing into the one shown.
        f.server.on("GET", u"/time-entries"_s, FakeResponse::heldBack(200, json::entries({json::entry("e2", false, "2025-02-25T09:00:00.000Z")})));
        auto left = week.step(-1);
        QVERIFY(f.server.waitForRequests(f.server.requests().size() + 1));
        f.server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries()));
        QCoro::waitFor(week.step(2));
        f.server.release();
        QCoro::waitFor(left);
        QCOMPARE(week.monday(), QDate(2025, 3, 10));
        QCOMPARE(week.tally().milliseconds(), 0);
    }
    void agreesWithTheServer() {
        // Berlin, Wednesday 5 March 2025; one entry from Sunday night into Monday.
        TemporaryConfigHome home;
        QTemporaryDir dir;
        qint64 now = utc("2025-03-02T20:00:00Z").toMSecsSinceEpoch(); // tokens last a while from here
        auto server = std::move(*server::KelvoServer::create({dir.filePath(u"kelvo.db"_s), 1000}));
        server->setClock([&now] { return now; });
        HttpProbe http(u"http://127.0.0.1:%1"_s.arg(server->listen(QHostAddress::LocalHost, 0)));
        const QString token = http.registerUser(u"ada@x.io"_s, u"secret1"_s, R"(,"defaultHourlyRate":37.77)");
        const auto track = [&](const char* start, const char* end) {
            now = utc(start).toMSecsSinceEpoch();
            const QString id = http.post(u"/time-entries/start"_s, "{}", token).json[u"timeEntry"][u"id"].toString();
            now = utc(end).toMSecsSinceEpoch();
            http.post(u"/time-entries/"_s + id + u"/stop"_s, {}, token);
        };
        track("2025-03-02T21:10:07.250Z", "2025-03-03T01:47:31.125Z");
        track("2025-03-04T08:00:00.001Z", "2025-03-04T09:59:59.999Z");
        track("2025-03-05T07:03:02.003Z", "2025-03-05T07:04:05.007Z");
        now = utc("2025-03-05T12:00:00Z").toMSecsSinceEpoch();
        const double serverWeek = http.get(u"/users/dashboard-earnings?timezone=Europe/Berlin"_s, token)
                                      .json[u"earnings"][u"thisWeek"][u"earnings"].toDouble();
        APIClient client(http.baseURL(), &SettingsStore::tokenStore());
        client.setAuthToken(token);
        const QTimeZone berlin("Europe/Berlin");
        const auto [from, to] = EntryPager::requestSpan(QDate(2025, 3, 3), QDate(2025, 3, 9), berlin);
        const auto read = QCoro::waitFor(EntryPager::load(&client, from, to));
        QVERIFY2(read.has_value(), qPrintable(read ? QString() : read.error().message));
        const TimeReport report({QDate(2025, 3, 3), QDate(2025, 3, 9)}, berlin, utc("2025-03-05T12:00:00Z"), read->entries);
        const QJsonObject json = QJsonDocument::fromJson(report.text(TimeReport::Format::json)).object();
        QVERIFY(serverWeek > 0);
        QVERIFY(std::abs(json[u"total"][u"earnings"].toDouble() - serverWeek) < 0.005);
        // The entry begun on Sunday counts its Monday part, but is listed in no row of the week.
        QCOMPARE(json[u"entries"].toArray().size(), 2);
    }
};

QTEST_MAIN(tst_Week)
#include "tst_week.moc"
