#include "HttpProbe.h"

#include "Accounts.h"
#include "Credentials.h"
#include "Database.h"
#include "HashQueue.h"
#include "HashWorkers.h"
#include "KelvoServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <semaphore>

#include <sys/stat.h>

using namespace kelvo::server;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

qint64 utcMs(int y, int mo, int d, int h, int mi = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC).toMSecsSinceEpoch();
}

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

struct RequestsAreAnsweredRow { QByteArray method; QString path; QByteArray body; int status; QString error; };
// task: empty: start without a task
struct RatePrecedenceRow { QByteArray userExtra; QJsonObject project, task; QJsonValue snapshot; };
struct EarningsRow { QString zone; qint64 now; int todaySeconds, weekSeconds; };
struct RequestHeadsRow { QByteArray version, head, body, status; bool closes; };
// guesses: the head lines of three failed sign-ins; %1 is the try
// other: those of another sign-in, with the right password
// status: its answer
struct ForwardedAddressesRow { QByteArrayList guesses, other; int status; };

} // namespace

class tst_Server : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_now = utcMs(2025, 3, 5, 12);
        m_server = create(u"kelvo.db"_s);
        QVERIFY(m_server);
        m_http = std::make_unique<HttpProbe>(baseURL(*m_server));
    }
    void cleanup() {
        m_http.reset();
        m_server.reset();
        m_dir.reset();
    }
    void requestsAreAnswered_data() {
        QTest::addColumn<RequestsAreAnsweredRow>("row");
        // clang-format off
        QTest::newRow("valid with captcha") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":" Ada ","email":"ada@x.io","password":"secret","defaultHourlyRate":25,"captchaId":"c","captchaValue":"v"})"), 201, QString()};
        QTest::newRow("blank name") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"  ","email":"b@x.io","password":"secret"})"), 400, u"name is required"_s};
        QTest::newRow("no @") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"bx.io","password":"secret"})"), 400, u"email must be a valid email address"_s};
        QTest::newRow("short password") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@x.io","password":"12345"})"), 400, u"password must be at least 6 characters"_s};
        QTest::newRow("negative rate") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@x.io","password":"secret","defaultHourlyRate":-1})"), 400, u"defaultHourlyRate must be between 0 and 100000"_s};
        QTest::newRow("two @") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@c@x.io","password":"secret"})"), 400, u"email must be a valid email address"_s};
        QTest::newRow("nothing after @") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@","password":"secret"})"), 400, u"email must be a valid email address"_s};
        QTest::newRow("space in e-mail") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b c@x.io","password":"secret"})"), 400, u"email must be a valid email address"_s};
        QTest::newRow("local host is fine") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"Ada","email":"user@localhost","password":"secret","defaultHourlyRate":25})"), 201, QString()};
        QTest::newRow("spaces for a password") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@x.io","password":"        "})"), 400, u"password must be at least 6 characters"_s};
        QTest::newRow("NUL in the password") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray("{\"name\":\"B\",\"email\":\"b@x.io\",\"password\":\"secret\\u0000\"}"), 400, u"password must be at least 6 characters"_s};
        QTest::newRow("name too long") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray("{\"name\":\"" + QByteArray(201, 'n') + "\",\"email\":\"b@x.io\",\"password\":\"secret\"}"), 400, u"name must be at most 200 characters of text"_s};
        QTest::newRow("control in name") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray("{\"name\":\"a\\u0007b\",\"email\":\"b@x.io\",\"password\":\"secret\"}"), 400, u"name must be at most 200 characters of text"_s};
        QTest::newRow("rate as text") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@x.io","password":"secret","defaultHourlyRate":"5"})"), 400, u"defaultHourlyRate must be a number"_s};
        QTest::newRow("email as number") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":5,"password":"secret"})"), 400, u"email must be a string"_s};
        QTest::newRow("captcha as number") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"B","email":"b@x.io","password":"secret","captchaId":1})"), 400, u"captchaId must be a string"_s};
        QTest::newRow("taken, other case") << RequestsAreAnsweredRow{QByteArray("POST"), u"/auth/register"_s, QByteArray(R"({"name":"C","email":"TAKEN@x.io","password":"secret"})"), 409, u"Email is already registered"_s};
        QTest::newRow("malformed JSON") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/start"_s, QByteArray("{\"projectId\":"), 400, u"Malformed JSON body"_s};
        QTest::newRow("array body") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("[1]"), 400, u"The request body must be a JSON object"_s};
        QTest::newRow("wrong member type") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/start"_s, QByteArray(R"({"description":7})"), 400, u"description must be a string"_s};
        QTest::newRow("invalid UTF-8") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"\xff\xfe\"}"), 400, u"Malformed JSON body"_s};
        QTest::newRow("wrong method") << RequestsAreAnsweredRow{QByteArray("DELETE"), u"/projects"_s, QByteArray(), 404, u"Not found"_s};
        QTest::newRow("unknown entry") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/nope/stop"_s, QByteArray(), 404, u"Time entry not found"_s};
        QTest::newRow("id with a slash") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/%2E%2E%2Fx/stop"_s, QByteArray(), 404, u"Time entry not found"_s};
        QTest::newRow("short colour") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"P\",\"color\":\"#abc\"}"), 400, u"color must be a hex colour such as #10B981"_s};
        QTest::newRow("colour and a newline") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"P\",\"color\":\"#10B981\\n\"}"), 400, u"color must be a hex colour such as #10B981"_s};
        QTest::newRow("nothing visible in a name") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"\\u200b\\u2060\\u0301\"}"), 400, u"name is required"_s};
        QTest::newRow("override in a name") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"report\\u202Efdp.exe\"}"), 400, u"name must be at most 200 characters of text"_s};
        QTest::newRow("isolate in a name") << RequestsAreAnsweredRow{QByteArray("POST"), u"/tasks"_s, QByteArray("{\"projectId\":\"p\",\"name\":\"\\u2067x\"}"), 400, u"name must be at most 200 characters of text"_s};
        QTest::newRow("rate above the limit") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray(R"({"name":"P","hourlyRate":100000.5})"), 400, u"hourlyRate must be between 0 and 100000"_s};
        QTest::newRow("long description") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/start"_s, QByteArray("{\"description\":\"" + QByteArray(2001, 'd') + "\"}"), 400, u"description must be at most 2000 characters of text"_s};
        QTest::newRow("lone surrogate") << RequestsAreAnsweredRow{QByteArray("POST"), u"/time-entries/start"_s, QByteArray("{\"description\":\"a\\ud800b\"}"), 400, u"description must be at most 2000 characters of text"_s};
        QTest::newRow("NUL in description") << RequestsAreAnsweredRow{QByteArray("POST"), u"/projects"_s, QByteArray("{\"name\":\"P\",\"description\":\"a\\u0000\"}"), 400, u"description must be at most 2000 characters of text"_s};
        // clang-format on
        const auto zone = [](const char* name, int status) {
            QTest::addRow("zone %s", name) << RequestsAreAnsweredRow{QByteArray("GET"), u"/users/dashboard-earnings?timezone="_s + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromLatin1(name))), QByteArray(), status, (status == 200 ? QString() : u"timezone must be an IANA time zone name"_s)};
        };
        for (const char* name : {"UTC", "Etc/UTC", "Asia/Calcutta", "Europe/Berlin", "America/Argentina/Buenos_Aires", "CET-1CEST,M3.5.0,M10.5.0/3"}) {
            zone(name, 200);
        }
        for (const char* name : {"../../../../proc/self/fd/1", "/etc/localtime", "Europe/../Berlin", "Europe//Berlin", "Europe/Berlin/", ".",
                                 "Europe/Ber lin", "Mars/Olympus"}) {
            zone(name, 400);
        }
    }
    void requestsAreAnswered() {
        QFETCH(RequestsAreAnsweredRow, row);
        auto [method, path, body, status, error] = row;
        QVERIFY(!m_http->registerUser(u"taken@x.io"_s).isEmpty());
        const QString token = m_http->registerUser(u"b@x.io"_s);
        const auto answer = m_http->send(method, path, body, token);
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.error(), error);
        QVERIFY(!answer.body.contains("SQL") && !answer.body.contains("sqlite"));
        if (status == 201) {
            QCOMPARE(answer.json[u"user"][u"name"].toString(), u"Ada"_s); // trimmed
        }
        QCOMPARE(m_http->get(u"/auth/me"_s, token).status, 200);
    }
    void signInMeAndRefresh() {
        QVERIFY(!m_http->registerUser(u"Mixed@Case.io"_s, u"pässwörd"_s).isEmpty());
        // A wrong password and an unknown address cost the same work, and get the same answer.
        for (const char* email : {"mixed@case.io", "nobody@x.io"}) {
            const int before = Credentials::verificationCount();
            const auto answer = m_http->post(u"/auth/login"_s, QByteArray("{\"email\":\"") + email + "\",\"password\":\"wrong!\"}");
            QCOMPARE(answer.status, 401);
            QCOMPARE(answer.error(), u"Invalid email or password"_s);
            QCOMPARE(Credentials::verificationCount(), before + 1);
        }
        const auto login = m_http->post(u"/auth/login"_s, u"{\"email\":\"MIXED@case.io\",\"password\":\"pässwörd\"}"_s.toUtf8());
        QCOMPARE(login.status, 200);
        const QString token = login.json[u"token"].toString();
        QCOMPARE(m_http->get(u"/auth/me"_s, token).json[u"user"][u"email"].toString(), u"Mixed@Case.io"_s);
        QCOMPARE(m_http->get(u"/auth/me"_s, u"forged"_s).status, 401);

        const auto refreshed = m_http->post(u"/auth/refresh"_s, {}, token);
        QCOMPARE(refreshed.status, 200);
        const QString next = refreshed.json[u"token"].toString();
        QVERIFY(next != token);
        QCOMPARE(m_http->get(u"/auth/me"_s, token).status, 401);
        QCOMPARE(m_http->get(u"/auth/me"_s, next).status, 200);

        m_now += 31LL * 24 * 3600 * 1000;
        QCOMPARE(m_http->get(u"/auth/me"_s, next).status, 401);
    }
    void projectsAndTasks() {
        const QString token = m_http->registerUser(u"p@x.io"_s);
        const QString web = createProject(token, {{u"name"_s, u"Web"_s}, {u"color"_s, u"#10B981"_s}, {u"hourlyRate"_s, 80}});
        const QString idle = createProject(token, {{u"name"_s, u"Old"_s}, {u"isActive"_s, false}});

        const QString open = createTask(token, web, {{u"name"_s, u"Build"_s}});
        createTask(token, web, {{u"name"_s, u"Done"_s}, {u"isCompleted"_s, true}});
        createTask(token, idle, {{u"name"_s, u"Elsewhere"_s}});
        track(token, {{u"projectId"_s, web}, {u"taskId"_s, open}}, m_now, m_now + 60'000);

        const auto projects = m_http->get(u"/projects"_s, token).json[u"projects"].toArray();
        QCOMPARE(projects.size(), 2);
        QCOMPARE(projects[1][u"isActive"].toBool(), false);

        const auto tasks = m_http->get(u"/tasks?projectId="_s + web + u"&isCompleted=false"_s, token).json[u"tasks"].toArray();
        QCOMPARE(tasks.size(), 1);
        QCOMPARE(tasks[0][u"project"][u"color"].toString(), u"#10B981"_s);
        QCOMPARE(tasks[0][u"_count"][u"timeEntries"].toInt(), 1);
        QCOMPARE(m_http->get(u"/tasks"_s, token).json[u"tasks"].toArray().size(), 3);
        QCOMPARE(m_http->get(u"/tasks?isCompleted=yes"_s, token).status, 400);
    }
    void usersNeverSeeEachOther() {
        const QString alice = m_http->registerUser(u"alice@x.io"_s);
        const QString bob = m_http->registerUser(u"bob@x.io"_s);
        const QString project = createProject(alice, {});
        const QString task = createTask(alice, project);
        const QJsonObject running = track(alice, {{u"projectId"_s, project}, {u"taskId"_s, task}}, m_now, {});
        const QString entryId = running[u"id"].toString();

        QCOMPARE(m_http->post(u"/time-entries/"_s + entryId + u"/stop"_s, {}, bob).status, 404);
        QCOMPARE(m_http->post(u"/time-entries/start"_s, json({{u"projectId"_s, project}}), bob).status, 404);
        QCOMPARE(m_http->post(u"/time-entries/start"_s, json({{u"taskId"_s, task}}), bob).status, 404);
        QCOMPARE(m_http->post(u"/tasks"_s, json({{u"projectId"_s, project}, {u"name"_s, u"x"_s}}), bob).status, 404);
        QVERIFY(m_http->get(u"/projects"_s, bob).json[u"projects"].toArray().isEmpty());
        QVERIFY(m_http->get(u"/tasks?projectId="_s + project, bob).json[u"tasks"].toArray().isEmpty());
        QVERIFY(m_http->get(u"/time-entries"_s, bob).json[u"entries"].toArray().isEmpty());
        QVERIFY(m_http->get(u"/time-entries/current"_s, bob).json[u"timeEntry"].isNull());
        QCOMPARE(m_http->get(u"/users/dashboard-earnings"_s, bob).json[u"earnings"][u"currentTimer"][u"isRunning"].toBool(), false);
        QCOMPARE(m_http->get(u"/time-entries/current"_s, alice).json[u"timeEntry"][u"id"].toString(), entryId);
    }
    void ratePrecedence_data() {
        QTest::addColumn<RatePrecedenceRow>("row");
        const QByteArray rate10 = R"(,"defaultHourlyRate":10)";
        // clang-format off
        QTest::newRow("task rate wins") << RatePrecedenceRow{rate10, QJsonObject{{u"hourlyRate"_s, 50}}, QJsonObject{{u"hourlyRate"_s, 70}}, QJsonValue(70)};
        QTest::newRow("project rate next") << RatePrecedenceRow{rate10, QJsonObject{{u"hourlyRate"_s, 50}}, QJsonObject{{u"name"_s, u"t"_s}}, QJsonValue(50)};
        QTest::newRow("user default last") << RatePrecedenceRow{rate10, QJsonObject{}, QJsonObject{}, QJsonValue(10)};
        QTest::newRow("no rate anywhere") << RatePrecedenceRow{QByteArray(), QJsonObject{}, QJsonObject{{u"name"_s, u"t"_s}}, QJsonValue()};
        // clang-format on
    }
    void ratePrecedence() {
        QFETCH(RatePrecedenceRow, row);
        auto [userExtra, project, task, snapshot] = row;
        const QString token = m_http->registerUser(u"r@x.io"_s, u"secret1"_s, userExtra);
        const QString projectId = createProject(token, project);
        QJsonObject start{{u"projectId"_s, projectId}};
        if (!task.isEmpty()) {
            start.insert(u"taskId"_s, createTask(token, projectId, task));
        }
        QCOMPARE(track(token, start, m_now, {})[u"hourlyRateSnapshot"], snapshot);
    }
    void startStopsTheRunningTimer() {
        const QString token = m_http->registerUser(u"s@x.io"_s);
        const QString project = createProject(token, {});
        const QString first = track(token, {{u"projectId"_s, project}}, utcMs(2025, 3, 5, 9), {})[u"id"].toString();
        const QJsonObject second = track(token, {{u"description"_s, u"Notes"_s}}, utcMs(2025, 3, 5, 10), {});
        QVERIFY(second[u"project"].isNull());

        const auto all = m_http->get(u"/time-entries"_s, token).json[u"entries"].toArray();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[1][u"duration"].toInt(), 3600);
        QCOMPARE(all[1][u"endTime"].toString(), u"2025-03-05T10:00:00.000Z"_s);
        QCOMPARE(m_http->get(u"/time-entries?isRunning=true"_s, token).json[u"entries"].toArray().size(), 1);

        m_now = utcMs(2025, 3, 5, 10, 30);
        // An encoded slash separates nothing: no stop.
        QCOMPARE(m_http->post(u"/time-entries/"_s + second[u"id"].toString() + u"%2Fstop"_s, {}, token).status, 404);
        const auto stopped = m_http->post(u"/time-entries/"_s + second[u"id"].toString() + u"/stop"_s, {}, token);
        QCOMPARE(stopped.json[u"timeEntry"][u"duration"].toInt(), 1800);
        QCOMPARE(m_http->post(u"/time-entries/"_s + first + u"/stop"_s, {}, token).status, 400);
        QVERIFY(m_http->get(u"/time-entries/current"_s, token).json[u"timeEntry"].isNull());
    }
    void listingPagesAndFilters() {
        const QString token = m_http->registerUser(u"l@x.io"_s);
        for (int i = 0; i < 25; ++i) {
            track(token, {{u"description"_s, QString::number(i)}}, utcMs(2025, 3, 1, 0) + i * 3'600'000LL,
                  utcMs(2025, 3, 1, 0) + i * 3'600'000LL + 60'000);
        }
        const auto page2 = m_http->get(u"/time-entries?page=2&limit=10"_s, token).json;
        QCOMPARE(page2[u"entries"].toArray().size(), 10);
        QCOMPARE(page2[u"entries"][0][u"description"].toString(), u"14"_s);
        QCOMPARE(page2[u"pagination"].toObject(), (QJsonObject{{u"page"_s, 2}, {u"limit"_s, 10}, {u"total"_s, 25}, {u"pages"_s, 3}}));
        QCOMPARE(m_http->get(u"/time-entries?page=3&limit=10"_s, token).json[u"entries"].toArray().size(), 5);
        QCOMPARE(m_http->get(u"/time-entries?page=99999999999999&limit=100"_s, token).json[u"entries"].toArray().size(), 0);
        QCOMPARE(m_http->get(u"/time-entries?limit=1000"_s, token).json[u"pagination"][u"limit"].toInt(), 100);
        QCOMPARE(m_http->get(u"/time-entries?limit=0"_s, token).status, 400);
        QCOMPARE(m_http->get(u"/time-entries"_s, token).json[u"entries"].toArray().size(), 20);

        const auto window =
            m_http->get(u"/time-entries?startDate=2025-03-01T10:00:00Z&endDate=2025-03-01T12:00:00%2B00:00"_s, token).json;
        QCOMPARE(window[u"pagination"][u"total"].toInt(), 3);
        QCOMPARE(m_http->get(u"/time-entries?endDate=2025-03-01"_s, token).json[u"pagination"][u"total"].toInt(), 24);
        QCOMPARE(m_http->get(u"/time-entries?startDate=yesterday"_s, token).error(), u"startDate must be an ISO 8601 date or time"_s);
    }
    void earnings_data() {
        QTest::addColumn<EarningsRow>("row");
        // Entries at 60/h: Sun 2 Mar 23:00-Mon 3 Mar 01:00 UTC, Wed 5 Mar 22:00-Thu 6 Mar 02:00 UTC.
        QTest::newRow("UTC, Thursday 03:00") << EarningsRow{u"UTC"_s, utcMs(2025, 3, 6, 3), 7200, 3600 + 14400};
        QTest::newRow("UTC, Monday 00:30 splits the Sunday entry") << EarningsRow{u"UTC"_s, utcMs(2025, 3, 3, 0, 30), 1800, 1800};
        QTest::newRow("Berlin, Thursday 03:00 UTC") << EarningsRow{u"Europe/Berlin"_s, utcMs(2025, 3, 6, 3), 10800, 7200 + 14400};
        QTest::newRow("New York, Wednesday 23:00 UTC, running") << EarningsRow{u"America/New_York"_s, utcMs(2025, 3, 5, 23), 3600, 3600};
    }
    void earnings() {
        QFETCH(EarningsRow, row);
        auto [zone, now, todaySeconds, weekSeconds] = row;
        const QString token = m_http->registerUser(u"e@x.io"_s, u"secret1"_s, R"(,"defaultHourlyRate":60)");
        track(token, {}, utcMs(2025, 3, 2, 23), std::min(now, utcMs(2025, 3, 3, 1)));
        if (now > utcMs(2025, 3, 5, 22)) {
            track(token, {}, utcMs(2025, 3, 5, 22), now > utcMs(2025, 3, 6, 2) ? std::optional(utcMs(2025, 3, 6, 2)) : std::nullopt);
        }
        m_now = now;
        const auto answer = m_http->get(u"/users/dashboard-earnings?timezone="_s + zone, token);
        const QJsonObject earnings = answer.json[u"earnings"].toObject();
        QCOMPARE(earnings[u"today"][u"duration"].toInt(), todaySeconds);
        QCOMPARE(earnings[u"today"][u"earnings"].toDouble(), todaySeconds / 60.0);
        QCOMPARE(earnings[u"thisWeek"][u"duration"].toInt(), weekSeconds);
        const bool running = now > utcMs(2025, 3, 5, 22) && now < utcMs(2025, 3, 6, 2);
        QCOMPARE(earnings[u"currentTimer"][u"isRunning"].toBool(), running);
        QCOMPARE(earnings[u"currentTimer"][u"duration"].toInt(), running ? int((now - utcMs(2025, 3, 5, 22)) / 1000) : 0);
    }
    void requestHeads_data() {
        QTest::addColumn<RequestHeadsRow>("row");
        const QByteArray login = R"({"email":"a@x.io","password":"secret1"})";
        const QByteArray length = "Content-Length: " + QByteArray::number(login.size()) + "\r\n";
        QByteArray headers;
        for (int i = 0; i < 97; ++i) {
            headers += "X-Filler-" + QByteArray::number(i) + ": x\r\n";
        }
        const QByteArray v11 = "HTTP/1.1";
        // clang-format off
        QTest::newRow("one length") << RequestHeadsRow{v11, length, login, QByteArray(" 401 "), false};
        QTest::newRow("the same length twice") << RequestHeadsRow{v11, length + length, login, QByteArray(" 401 "), false};
        QTest::newRow("two lengths") << RequestHeadsRow{v11, length + "Content-Length: 2\r\n", login, QByteArray(" 400 "), true};
        QTest::newRow("chunked") << RequestHeadsRow{v11, QByteArray("Transfer-Encoding: chunked\r\n"), QByteArray::number(login.size(), 16) + "\r\n" + login + "\r\n0\r\n\r\n", QByteArray(" 400 "), true};
        // Answered though the body never comes: refused before it is read.
        QTest::newRow("600 MB declared") << RequestHeadsRow{v11, QByteArray("Content-Length: 629145600\r\n"), QByteArray(), QByteArray(" 413 "), true};
        QTest::newRow("length past 64 bits") << RequestHeadsRow{v11, QByteArray("Content-Length: 18446744073709551615\r\n"), QByteArray(), QByteArray(" 413 "), true};
        QTest::newRow("100 headers") << RequestHeadsRow{v11, length + headers, login, QByteArray(" 401 "), false};
        QTest::newRow("101 headers") << RequestHeadsRow{v11, length + headers + "X-One-More: x\r\n", login, QByteArray(" 431 "), true};
        QTest::newRow("Connection: close") << RequestHeadsRow{v11, length + "Connection: close\r\n", login, QByteArray(" 401 "), true};
        QTest::newRow("HTTP/1.0") << RequestHeadsRow{QByteArray("HTTP/1.0"), length, login, QByteArray(" 401 "), true};
        // clang-format on
    }
    void requestHeads() {
        QFETCH(RequestHeadsRow, row);
        auto [version, head, body, status, closes] = row;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(QUrl(m_http->baseURL()).port()));
        QVERIFY(socket.waitForConnected(10000));
        socket.write("POST /auth/login " + version + "\r\nHost: x\r\nContent-Type: application/json\r\n" + head + "\r\n" + body);
        QByteArray answer;
        QVERIFY(QTest::qWaitFor([&] { return (answer += socket.readAll()).contains("\r\n"); }, 10000));
        QVERIFY2(answer.startsWith("HTTP/1.1" + status), answer.constData());
        if (closes) {
            QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 10000);
        } else {
            // Kept open: a second request on the same connection is answered.
            socket.write("GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n");
            QVERIFY(QTest::qWaitFor([&] { return (answer += socket.readAll()).contains(" 404 "); }, 10000));
        }
    }
    void guessingIsThrottled() {
        const auto server = create(u"throttle.db"_s, 3, true);
        QVERIFY(server);
        HttpProbe http(baseURL(*server));
        http.registerUser(u"ann@x.io"_s);
        http.registerUser(u"bob@x.io"_s);
        const auto login = [&http](const char* email, const char* password, const char* from) {
            const QByteArray body = QByteArray("{\"email\":\"") + email + R"(","password":")" + password + "\"}";
            return http.send("POST", u"/auth/login"_s, body, {}, {{"X-Forwarded-For", QByteArray("203.0.113.7, ") + from}});
        };
        // Per account, from ever new addresses: a success clears the count, then the limit holds.
        QCOMPARE(login("ann@x.io", "wrong", "198.51.100.1").status, 401);
        QCOMPARE(login("ann@x.io", "secret1", "198.51.100.2").status, 200);
        for (const char* from : {"198.51.100.3", "198.51.100.4", "198.51.100.5"}) {
            QCOMPARE(login("ann@x.io", "wrong", from).status, 401);
        }
        const int hashed = Credentials::verificationCount();
        const auto refused = login("ann@x.io", "secret1", "198.51.100.6");
        QCOMPARE(refused.status, 429);
        QCOMPARE(refused.error(), u"Too many attempts"_s);
        QCOMPARE(refused.header("Retry-After"), "60");
        QCOMPARE(Credentials::verificationCount(), hashed); // a refused try costs no hashing
        QCOMPARE(login("bob@x.io", "secret1", "198.51.100.6").status, 200);
        // The wait runs out; one more failure doubles it.
        m_now += 61'000;
        QCOMPARE(login("ann@x.io", "wrong", "198.51.100.7").status, 401);
        QCOMPARE(login("ann@x.io", "secret1", "198.51.100.8").header("Retry-After"), "120");
        // Per address, whatever the account (only the proxy's last entry counts).
        for (const char* email : {"c1@x.io", "c2@x.io", "c3@x.io"}) {
            QCOMPARE(login(email, "wrong", "192.0.2.9").status, 401);
        }
        QCOMPARE(login("bob@x.io", "secret1", "192.0.2.9").status, 429);
        QCOMPARE(login("bob@x.io", "secret1", "192.0.2.10").status, 200);
        // An IPv6 client's whole /64 counts as one address.
        for (const char* from : {"2001:db8:1:2::1", "2001:db8:1:2::2", "2001:db8:1:2:ffff::3"}) {
            QCOMPARE(login("d@x.io", "wrong", from).status, 401);
        }
        QCOMPARE(login("bob@x.io", "secret1", "2001:db8:1:2::9").status, 429);
        QCOMPARE(login("bob@x.io", "secret1", "2001:db8:1:3::9").status, 200);
    }
    void forwardedAddresses_data() {
        QTest::addColumn<ForwardedAddressesRow>("row");
        const QByteArray xff = "X-Forwarded-For: ";
        // clang-format off
        QTest::newRow("the client's own line before the proxy's") << ForwardedAddressesRow{QByteArrayList{xff + "10.9.8.%1", xff + "192.0.2.1"}, QByteArrayList{xff + "192.0.2.1"}, 429};
        QTest::newRow("a port is dropped") << ForwardedAddressesRow{QByteArrayList{xff + "203.0.113.5, 1.2.3.4:5"}, QByteArrayList{xff + "1.2.3.4:6"}, 429};
        QTest::newRow("an address with a port is not the proxy's") << ForwardedAddressesRow{QByteArrayList{xff + "1.2.3.4:5"}, QByteArrayList{xff + "5.6.7.8:9"}, 200};
        QTest::newRow("an IPv6 port is dropped") << ForwardedAddressesRow{QByteArrayList{xff + "[2001:db8::1]:443"}, QByteArrayList{xff + "2001:db8::2"}, 429};
        QTest::newRow("no address: one key for all") << ForwardedAddressesRow{QByteArrayList{xff + "unknown"}, QByteArrayList{xff + "garbage"}, 429};
        QTest::newRow("no address: not the proxy's key") << ForwardedAddressesRow{QByteArrayList{xff + "unknown"}, QByteArrayList{xff + "127.0.0.1"}, 200};
        // clang-format on
    }
    void forwardedAddresses() {
        QFETCH(ForwardedAddressesRow, row);
        auto [guesses, other, status] = row;
        const auto server = create(u"proxy.db"_s, 3, true);
        QVERIFY(server);
        const QString base = baseURL(*server);
        HttpProbe(base).registerUser(u"ann@x.io"_s);
        const quint16 port = quint16(QUrl(base).port());
        // Over a socket of its own: a client can send the same header on several lines.
        const auto signIn = [port](const QByteArray& body, const QByteArrayList& lines) {
            QByteArray head = "POST /auth/login HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
            for (const QByteArray& line : lines) {
                head += line + "\r\n";
            }
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            socket.write(head + "\r\n" + body);
            QByteArray answer;
            (void)QTest::qWaitFor([&] { return (answer += socket.readAll()).contains("\r\n"); }, 20000); // none fails below
            return answer.split(' ').value(1).toInt();
        };
        for (int i = 0; i < 3; ++i) {
            QByteArrayList lines = guesses;
            for (QByteArray& line : lines) {
                line.replace("%1", QByteArray::number(i));
            }
            QCOMPARE(signIn("{\"email\":\"guess" + QByteArray::number(i) + "@x.io\",\"password\":\"wrong1\"}", lines), 401);
        }
        QCOMPARE(signIn(R"({"email":"ann@x.io","password":"secret1"})", other), status);
    }
    void hashingHoldsUpNoOne() {
        const auto server = create(u"gate.db"_s, 3);
        QVERIFY(server);
        std::atomic<int> hashing = 0;
        std::counting_semaphore<64> gate(1); // the registration's hash goes through
        server->setHashGate([&] {
            ++hashing;
            (void)gate.try_acquire_for(std::chrono::seconds(60)); // a hung test ends, failing
        });
        const QString base = baseURL(*server);
        HttpProbe http(base);
        const QString token = http.registerUser(u"ann@x.io"_s);
        QVERIFY(!token.isEmpty());
        // Six guesses at once: three are checked, the other three wait for them to be decided.
        QNetworkAccessManager network;
        std::vector<std::unique_ptr<QNetworkReply>> guesses;
        for (int i = 0; i < 6; ++i) {
            QNetworkRequest request(QUrl(base + u"/auth/login"_s));
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
            guesses.emplace_back(network.post(request, QByteArray(R"({"email":"ann@x.io","password":"wrong1"})")));
        }
        const auto answered = [&](int status) {
            return std::count_if(guesses.begin(), guesses.end(), [status](const auto& reply) {
                return reply->isFinished() && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == status;
            });
        };
        QTRY_COMPARE_WITH_TIMEOUT(answered(429), 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(hashing.load() >= 2, 20000); // the registration's, then a guess's held
        // Other requests are answered while the hashes are held.
        QCOMPARE(http.get(u"/auth/me"_s, token).status, 200);
        QCOMPARE(answered(401), 0);
        gate.release(3);
        QTRY_COMPARE_WITH_TIMEOUT(answered(401), 3, 20000);
    }
    void cleanSignIns() {
        auto db = Database::open(m_dir->filePath(u"clean.db"_s));
        QVERIFY(db.has_value());
        ServerContext context{**db, [this] { return m_now; }, 1000};
        Accounts accounts(context, {});
        const auto signIn = [&](const char* email, const QString& from) {
            return *accounts.beginLogin("{\"email\":\"" + QByteArray(email) + "\",\"password\":\"wrong1\"}", from);
        };
        const auto first = signIn("ann@x.io", u"192.0.2.1"_s);
        QVERIFY(first.clean);
        QVERIFY(!signIn("ann@x.io", u"192.0.2.2"_s).clean); // another try at the account under way
        QVERIFY(!accounts.finishLogin(first, {}));
        QVERIFY(!signIn("bob@x.io", u"192.0.2.1"_s).clean); // the address failed
        QVERIFY(signIn("cat@x.io", u"192.0.2.3"_s).clean);
        m_now += 16 * 60 * 1000; // past the window
        QVERIFY(signIn("dan@x.io", u"192.0.2.1"_s).clean);
    }
    void hashesTakeTurns() {
        // Sign-ins after failures queued, then a registration and a clean sign-in.
        HashQueue queue;
        QStringList started;
        const auto push = [&](HashQueue::Kind kind, const QString& name) {
            queue.push(kind, [&started, name] { started.append(name); });
        };
        for (int i = 0; i < 12; ++i) {
            push(HashQueue::Kind::signIn, u"sign-in"_s);
        }
        push(HashQueue::Kind::registration, u"registration"_s);
        push(HashQueue::Kind::cleanSignIn, u"clean"_s);
        // A thread at normal priority takes the clean sign-in and nothing else; those at the lowest
        // give the registration the fourth turn, before the sign-ins queued ahead of it, and leave
        // clean sign-ins alone.
        const auto clean = queue.take(HashQueue::Priority::normal);
        QVERIFY(clean);
        clean();
        QVERIFY(!queue.take(HashQueue::Priority::normal));
        while (const auto task = queue.take(HashQueue::Priority::lowest)) {
            task();
        }
        QCOMPARE(started.indexOf(u"clean"_s), 0);
        QCOMPARE(started.indexOf(u"registration"_s), 3);
        QCOMPARE(started.size(), 14);
        push(HashQueue::Kind::cleanSignIn, u"clean"_s);
        QVERIFY(!queue.take(HashQueue::Priority::lowest));
    }
    void cleanSignInsStartAtOnce() {
        // The one low-priority thread is held on a sign-in, two more wait; a clean sign-in starts all
        // the same, on its own thread.
        HashWorkers workers(1);
        std::atomic<int> held = 0;
        std::counting_semaphore<64> gate(0);
        workers.setGate([&] {
            ++held;
            (void)gate.try_acquire_for(std::chrono::seconds(60)); // a hung test ends, failing
        });
        int done = 0;
        const auto run = [&](HashWorkers::Kind kind) { workers.run(kind, [] { return 0; }, [&](int) { ++done; }); };
        for (int i = 0; i < 3; ++i) {
            run(HashWorkers::Kind::signIn);
        }
        QTRY_COMPARE_WITH_TIMEOUT(held.load(), 1, 20000);
        run(HashWorkers::Kind::cleanSignIn);
        QTRY_COMPARE_WITH_TIMEOUT(held.load(), 2, 20000);
        gate.release(4);
        QTRY_COMPARE_WITH_TIMEOUT(done, 4, 20000);
    }
    void addressesAndPasswordsComposed() {
        const QString typedApart = u"Re\u0301my@X.io"_s; // e and a combining accent, capitals
        const QString composed = u"r\u00e9my@x.io"_s;
        const QString passwordApart = u"pa\u0301sse1"_s;
        const QString passwordComposed = u"p\u00e1sse1"_s;
        const auto login = [this](const QString& email, const QString& password) {
            return m_http->post(u"/auth/login"_s, json({{u"email"_s, email}, {u"password"_s, password}})).status;
        };
        QVERIFY(!m_http->registerUser(typedApart, passwordApart).isEmpty());
        QCOMPARE(login(composed, passwordComposed), 200);
        QVERIFY(m_http->registerUser(composed).isEmpty()); // the same address: taken
        m_now += 1000;
        QVERIFY(!m_http->registerUser(u"later@x.io"_s, u"secret2"_s).isEmpty());
        // A database from before: keys only lower-cased, the password hashed as it was typed.
        m_server.reset();
        {
            auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"before"_s);
            db.setDatabaseName(m_dir->filePath(u"kelvo.db"_s));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.prepare(u"UPDATE users SET email_key = ?, password_hash = ? WHERE email_key <> 'later@x.io'"_s));
            query.addBindValue(typedApart.toLower());
            query.addBindValue(Credentials::hashPassword(passwordApart, 1000));
            QVERIFY(query.exec());
            // A later account the old keys told apart: the composed spelling of the same address.
            QVERIFY(query.prepare(u"UPDATE users SET email = ?, email_key = ? WHERE email_key = 'later@x.io'"_s));
            query.addBindValue(composed);
            query.addBindValue(composed);
            QVERIFY(query.exec());
            QVERIFY(query.exec(u"PRAGMA user_version = 1"_s));
        }
        QSqlDatabase::removeDatabase(u"before"_s);
        m_server = create(u"kelvo.db"_s);
        QVERIFY(m_server);
        m_http = std::make_unique<HttpProbe>(baseURL(*m_server));
        // The key is migrated, to the older account; the old hash takes the password as typed, then
        // holds it composed.
        QCOMPARE(login(composed, u"secret2"_s), 401);
        QCOMPARE(login(composed, passwordComposed), 401);
        QCOMPARE(login(composed, passwordApart), 200);
        QCOMPARE(login(composed, passwordComposed), 200);
    }
    void databaseIsPrivate() {
        // Qt's permission bits: 0x7000 the owner's, 0x0070 the group's, 0x0007 the others'.
        const auto modeOf = [](const QString& path) { return int(QFile::permissions(path)) & 0x7077; };
        // Folders the server makes, and the files in them, whatever the umask.
        const QString made = m_dir->filePath(u"new/place/kelvo.db"_s);
        {
            const mode_t umask = ::umask(0);
            auto server = KelvoServer::create({made, 1000});
            ::umask(umask);
            QVERIFY(server.has_value());
            QVERIFY((*server)->seedDemo());
            QCOMPARE(modeOf(m_dir->filePath(u"new"_s)), 0x7000);
            QCOMPARE(modeOf(QFileInfo(made).absolutePath()), 0x7000);
            for (const QString& file : {made, made + u"-wal"_s, made + u"-shm"_s}) {
                QVERIFY2(QFile::exists(file), qPrintable(file));
                QCOMPARE(modeOf(file), 0x6000);
            }
        }
        // An operator's folder stays as it is; a database readable by others is tightened.
        const QString shared = m_dir->filePath(u"shared/kelvo.db"_s);
        const QString folder = QFileInfo(shared).absolutePath();
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::Permissions(0x7055));
        QVERIFY(KelvoServer::create({shared, 1000}).has_value());
        QFile::setPermissions(shared, QFile::Permissions(0x6044));
        QVERIFY(KelvoServer::create({shared, 1000}).has_value());
        QCOMPARE(modeOf(shared), 0x6000);
        QCOMPARE(modeOf(folder), 0x7055);
    }

private:
    // A server on a database of its own, on the test's clock, with at most `attempts` failed
    // sign-ins in a row (0: the default) and the proxy's forwarded addresses trusted or not.
    std::unique_ptr<KelvoServer> create(const QString& file, int attempts = 0, bool trustProxy = false) {
        KelvoServer::Options options{m_dir->filePath(file), 1000};
        if (attempts > 0) {
            options.loginLimits.attempts = attempts;
        }
        options.trustProxy = trustProxy;
        auto server = KelvoServer::create(options);
        if (!server) {
            return nullptr;
        }
        (*server)->setClock([this] { return m_now; });
        return std::move(*server);
    }
    static QString baseURL(KelvoServer& server) { return u"http://127.0.0.1:%1"_s.arg(server.listen(QHostAddress::LocalHost, 0)); }
    QString createProject(const QString& token, const QJsonObject& fields) {
        QJsonObject body = fields;
        if (!body.contains(u"name")) {
            body.insert(u"name"_s, u"Project"_s);
        }
        const auto answer = m_http->post(u"/projects"_s, json(body), token);
        return answer.status == 201 ? answer.json[u"project"][u"id"].toString() : QString();
    }
    QString createTask(const QString& token, const QString& projectId, const QJsonObject& fields = {}) {
        QJsonObject body = fields;
        body.insert(u"projectId"_s, projectId);
        if (!body.contains(u"name")) {
            body.insert(u"name"_s, u"Task"_s);
        }
        const auto answer = m_http->post(u"/tasks"_s, json(body), token);
        return answer.status == 201 ? answer.json[u"task"][u"id"].toString() : QString();
    }
    // Starts at `startMs` and, when `endMs` is given, stops at it; the entry as last answered.
    QJsonObject track(const QString& token, QJsonObject body, qint64 startMs, std::optional<qint64> endMs) {
        m_now = startMs;
        auto answer = m_http->post(u"/time-entries/start"_s, json(body), token);
        if (answer.status != 201 || !endMs) {
            return answer.json[u"timeEntry"].toObject();
        }
        m_now = *endMs;
        const QString id = answer.json[u"timeEntry"][u"id"].toString();
        return m_http->post(u"/time-entries/"_s + id + u"/stop"_s, {}, token).json[u"timeEntry"].toObject();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<KelvoServer> m_server;
    std::unique_ptr<HttpProbe> m_http;
    qint64 m_now = utcMs(2025, 3, 5, 12);
};

QTEST_GUILESS_MAIN(tst_Server)
#include "tst_server.moc"
