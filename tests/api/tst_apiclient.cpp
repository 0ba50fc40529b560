#include "Json.h"
#include "TestSupport.h"

#include "api/ReplyWatch.h"
#include "api/TokenRedactor.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSettings>
#include <QTest>

#include <cmath>
#include <sys/stat.h>
#include <functional>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray entryJson = json::entry("e1", true);
const QByteArray timerJson = json::timer(entryJson);
const QByteArray userJson = json::user();
const QByteArray earningsJson = json::earnings();

// The text of an operation's error, or the empty text on success.
template <class R> QString errorText(const R& result) {
    return result ? QString() : result.error().errorDescription();
}

} // namespace

using Operation = std::function<bool(APIClient&)>;

// Whether an operation succeeded (and its answer passes `check`).
template <class T, class Check = bool (*)(const T&)>
bool ok(
    QCoro::Task<std::expected<T, APIClientError>>&& task, Check check = [](const T&) { return true; }) {
    const auto result = QCoro::waitFor(std::move(task));
    return result && check(*result);
}
template <class T> bool ok(QCoro::Task<BodyResult<T>>&& task) {
    return QCoro::waitFor(std::move(task)).has_value();
}

namespace {

struct UndecodableSuccessBodyRow { int status; QByteArray body; QString rawLine; };
// requestLine: empty: nothing may be sent
// sentBody: compared as JSON when not empty
struct OperationsRow { Operation operation; QString requestLine; QByteArray answer, sentBody; };
// text: what Kelvo.conf holds, after the stored sign-in
// kind: "fifo", "link" or "file"
struct UnsafeSettingsFilesAreLeftAloneRow { QByteArray text; QString kind, problem; };
// method: GET /auth/me or POST /auth/login
// followedAs: empty: not followed
struct RedirectsStayWithTheServerRow { QByteArray method; int status; bool sameOrigin; QByteArray followedAs; };

} // namespace

class tst_APIClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_f = std::make_unique<ClientFixture>(); }
    void cleanup() { m_f.reset(); }
    void headers_data() {
        QTest::addColumn<std::optional<QString>>("token");
        QTest::addColumn<QByteArray>("authorization"); // empty: no header at all
        // (A stored token: tst_state's restore table asserts the header it goes in.)
        QTest::newRow("no token") << std::optional<QString>() << QByteArray();
        QTest::newRow("empty token") << std::optional<QString>(QString()) << QByteArray("Bearer");
    }
    void headers() {
        QFETCH(std::optional<QString>, token);
        QFETCH(QByteArray, authorization);
        if (token) {
            m_f->client.setAuthToken(*token);
        }
        m_f->server.on("GET", u"/auth/me"_s, FakeResponse::json(200, userJson));
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(200, timerJson));
        QVERIFY(QCoro::waitFor(m_f->client.getCurrentUser()));
        QVERIFY(QCoro::waitFor(m_f->client.startTimer({}, {}, {})));
        for (const RecordedRequest& request : m_f->server.requests()) {
            QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
            QCOMPARE(request.hasHeader("Authorization"), token.has_value());
            QCOMPARE(request.header("Authorization"), authorization);
        }
        QCOMPARE(m_f->server.requests().at(1).body, QByteArray("{}"));
    }
    void failureClassification_data() {
        QTest::addColumn<FakeResponse>("answer");
        QTest::addColumn<QString>("text"); // the error's text, or how it begins
        const auto row = [](const char* name, int status, const QByteArray& body, const QString& text) {
            QTest::newRow(name) << FakeResponse::json(status, body) << text;
        };
        row("422 with error", 422, R"({"error":"Task is closed","message":"ignored"})", u"Task is closed"_s);
        // Qt reads 400, 407 and 418 as errors of the kinds it also uses for transport failures.
        row("400 with error", 400, R"({"error":"Bad"})", u"Bad"_s);
        row("407 with error", 407, R"({"error":"Proxy"})", u"Proxy"_s);
        row("418 with error", 418, R"({"error":"Teapot"})", u"Teapot"_s);
        row("404 not JSON", 404, "<html>nope</html>", u"Client error"_s);
        row("409 message only", 409, R"({"message":"taken"})", u"Client error"_s);
        row("499 empty", 499, {}, u"Client error"_s);
        row("500", 500, R"({"error":"boom"})", u"Server error - please try again later"_s);
        row("599", 599, {}, u"Server error - please try again later"_s);
        row("600", 600, {}, u"Unknown error occurred"_s);
        row("304", 304, {}, u"Unknown error occurred"_s);
        row("199", 199, {}, u"Unknown error occurred"_s);
        QTest::newRow("connection dropped") << FakeResponse::dropped() << u"Network error: "_s;
        // A status line, then the connection closes mid-body: the status says nothing then.
        QTest::newRow("200 cut short") << FakeResponse::cut(200, R"({"projects":[)") << u"Network error: "_s;
        QTest::newRow("401 cut short") << FakeResponse::cut(401, R"({"error":)") << u"Network error: "_s;
    }
    void failureClassification() {
        QFETCH(FakeResponse, answer);
        QFETCH(QString, text);
        m_f->client.setAuthToken(u"kept"_s);
        m_f->server.on("GET", u"/projects"_s, answer);
        const QString error = errorText(QCoro::waitFor(m_f->client.getProjects()));
        QVERIFY2(text.endsWith(u": "_s) ? error.startsWith(text) : error == text, qPrintable(error));
        QCOMPARE(m_f->home.storedToken(), u"kept"_s);
    }
    void undecodableSuccessBody_data() {
        QTest::addColumn<UndecodableSuccessBodyRow>("row");
        QTest::newRow("204 empty") << UndecodableSuccessBodyRow{204, QByteArray(), u"Raw response: "_s};
        QTest::newRow("not UTF-8") << UndecodableSuccessBodyRow{200, QByteArray("{\"projects\":\xff\xfe}"), u"Raw response: nil"_s};
        // clang-format off
        QTest::newRow("wrong type") << UndecodableSuccessBodyRow{200, QByteArray(R"({"projects":[{"id":1}]})"), u"Raw response: {\"projects\":[{\"id\":1}]}"_s};
        QTest::newRow("token masked") << UndecodableSuccessBodyRow{200, QByteArray(R"({"token":"s3cr3t","projects":null})"), u"Raw response: {\"token\":\"<redacted>\",\"projects\":null}"_s};
        // clang-format on
        // Cut at 64 KiB, masked first, never inside a character: the two bytes of "é" straddle the limit.
        const QByteArray longBody = "{\"token\":\"s3cr3t\",\"n\":\"" + QByteArray(65536 - 28, 'a') + "\xc3\xa9" + QByteArray(100, 'b');
        QTest::newRow("long body cut") << UndecodableSuccessBodyRow{200, longBody, u"Raw response: {\"token\":\"<redacted>\",\"n\":\""_s + QString(65536 - 28, u'a') + u" \u2026 (%1 bytes)"_s.arg(longBody.size())};
    }
    void undecodableSuccessBody() {
        QFETCH(UndecodableSuccessBodyRow, row);
        auto [status, body, rawLine] = row;
        DiagnosticsCapture& capture = m_f->lines;
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(status, body));
        const auto result = QCoro::waitFor(m_f->client.getProjects());
        QVERIFY(!result);
        QCOMPARE(result.error().kind(), APIClientError::Kind::decodingError);
        QVERIFY(errorText(result).startsWith(u"Data parsing error: "_s));
        QCOMPARE(capture.lines().size(), 2);
        QVERIFY(capture.lines().at(0).startsWith(u"Decoding error: "_s));
        QCOMPARE(capture.lines().at(1), rawLine);
    }
    void tokensAreMaskedLexically_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("printed"); // "@" stands for the mask; empty: as received
        // clang-format off
        QTest::newRow("nested, spaced") << QByteArray(R"({"user":{"id":"u"} , "auth" : { "token" :  "a.b-c" }})") << QByteArray(R"({"user":{"id":"u"} , "auth" : { "token" :  @ }})");
        QTest::newRow("every token") << QByteArray(R"([{"token":"a"},{"token":"b"}])") << QByteArray(R"([{"token":@},{"token":@}])");
        QTest::newRow("other secret names, any case") << QByteArray(R"({"Authorization":"Bearer x","ACCESS_TOKEN":"a","refresh_Token":{"v":1},"tokens":"k"})") << QByteArray(R"({"Authorization":@,"ACCESS_TOKEN":@,"refresh_Token":@,"tokens":"k"})");
        QTest::newRow("escaped name") << QByteArray("{\"\\u0074oken\":\"x\",\"to\\u006ben\":1}") << QByteArray("{\"\\u0074oken\":@,\"to\\u006ben\":@}");
        QTest::newRow("needless escapes, read as the letter") << QByteArray("{\"to\\ken\":\"x\",\"\\t\\oken\":\"y\"}") << QByteArray("{\"to\\ken\":@,\"\\t\\oken\":\"y\"}");
        QTest::newRow("other types") << QByteArray("{\"token\":{\"v\":\"}\\\"x\"},\"b\":[1],\"token\":[1,[2]],\"token\":12.5e3,\"token\":null}") << QByteArray(R"({"token":@,"b":[1],"token":@,"token":@,"token":@})");
        QTest::newRow("cut inside the value") << QByteArray("{\"token\":\"abc") << QByteArray(R"({"token":@)");
        QTest::newRow("cut inside an object") << QByteArray("{\"token\":{\"a\":\"b") << QByteArray(R"({"token":@)");
        QTest::newRow("cut after the colon") << QByteArray(R"({"token": )") << QByteArray();
        QTest::newRow("not a name") << QByteArray("{\"a\":\"token\",\"tokens\":\"x\",\"tok\\\"en\":\"y\",\"\\toke\\n\":\"z\"}") << QByteArray();
        QTest::newRow("value in a string left alone") << QByteArray("{\"note\":\"\\\"token\\\":\\\"t\\\"\"}") << QByteArray();
        QTest::newRow("other bytes as received") << QByteArray("{ \"n\" :\t\"\xc3\xa9\\u00e9\" }") << QByteArray();
        // clang-format on
    }
    void tokensAreMaskedLexically() {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, printed);
        const QByteArray expected = printed.isEmpty() ? received : printed.replace("@", "\"<redacted>\"");
        QCOMPARE(TokenRedactor::redact(received), expected);
    }
    void heldTokenNeverShows_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        // clang-format off
        QTest::newRow("echoed under another member") << 200 << QByteArray(R"({"debug":{"note":"Bearer held/token-1234"}})");
        QTest::newRow("JSON-escaped in a cut body") << 200 << QByteArray("{\"projects\":[\"held\\/token-1234\"");
        QTest::newRow("in the error text") << 400 << QByteArray(R"({"error":"held/token-1234 is wrong"})");
        // clang-format on
    }
    void heldTokenNeverShows() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const QString token = u"held/token-1234"_s;
        m_f->client.setAuthToken(token);
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(status, body));
        const auto result = QCoro::waitFor(m_f->client.getProjects());
        QVERIFY(!result);
        const QStringList shown = m_f->lines.lines() + QStringList{result.error().errorDescription(), result.error().debugDescription()};
        for (const QString& text : shown) {
            QVERIFY2(!text.contains(u"token-1234"_s), qPrintable(text));
        }
        QVERIFY(shown.join(u'\n').contains(u"<redacted>"_s));
    }
    void baseURLs() {
        qunsetenv("KELVO_API_URL");
        QCOMPARE(APIClient::baseURLFromEnvironment(), u"https://api.kelvo.app"_s);
        qputenv("KELVO_API_URL", "");
        QCOMPARE(APIClient::baseURLFromEnvironment(), QString()); // verbatim, even when empty
        qputenv("KELVO_API_URL", " http://127.0.0.1:9/shared/ ");
        APIClient* shared = APIClient::shared();
        qunsetenv("KELVO_API_URL");
        QCOMPARE(APIClient::shared(), shared); // one client, the variable read once
        QCOMPARE(shared->baseURL(), u" http://127.0.0.1:9/shared/ "_s);

        QTemporaryDir files; // a base that is no HTTP server
        QDir(files.path()).mkpath(u"auth"_s);
        QFile me(files.path() + u"/auth/me"_s);
        QVERIFY(me.open(QIODevice::WriteOnly) && me.write(userJson) > 0);
        me.close();
        for (const auto& [base, text] : {std::pair{QString(), u"Network error: "_s},
                                         {u"http://exa mple.com"_s, u"Invalid URL"_s},
                                         {QUrl::fromLocalFile(files.path()).toString(), u"Invalid response"_s}}) {
            APIClient client(base, &SettingsStore::tokenStore());
            client.setAuthToken(u"kept"_s);
            QVERIFY2(errorText(QCoro::waitFor(client.getCurrentUser())).startsWith(text), qPrintable(base));
            QCOMPARE(client.authToken(), u"kept"_s);
        }

        // The URL keeps both slashes; Qt's HTTP layer folds them into one on the wire, so a base URL
        // with a trailing slash still reaches the server.
        APIClient slash(m_f->server.baseURL() + u'/', nullptr);
        QCOMPARE(slash.urlFor(u"/projects"_s).toString(), m_f->server.baseURL() + u"//projects"_s);
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, R"({"projects":[]})"));
        QVERIFY(QCoro::waitFor(slash.getProjects()));
    }
    void operations_data() {
        QTest::addColumn<OperationsRow>("row");
        const QByteArray auth = json::auth();
        const QByteArray register25 =
            R"({"name":"N","email":"e","password":"pw","defaultHourlyRate":25,"captchaId":"c1","captchaValue":"v1"})";
        const QByteArray page2 = R"({"entries":[],"pagination":{"page":2,"limit":5,"total":0,"pages":0}})";
        const QString everyFilter =
            u"GET /time-entries?projectId=p&isRunning=true&startDate=2025-03-01T00:00:00%2B01:00&endDate=2025-03-02&page=2&limit=5"_s;
        // clang-format off
        QTest::newRow("login") << OperationsRow{Operation([](APIClient& c) { return ok(c.login(u" A@b.c "_s, u"pw"_s)); }), u"POST /auth/login"_s, auth, QByteArray(R"({"email":" A@b.c ","password":"pw"})")};
        QTest::newRow("register") << OperationsRow{Operation([](APIClient& c) { return ok(c.registerAccount(u"N"_s, u"e"_s, u"pw"_s)); }), u"POST /auth/register"_s, auth, QByteArray(R"({"name":"N","email":"e","password":"pw"})")};
        QTest::newRow("register with extras") << OperationsRow{Operation([](APIClient& c) { return ok(c.registerAccount(u"N"_s, u"e"_s, u"pw"_s, 25.0, u"c1"_s, u"v1"_s)); }), u"POST /auth/register"_s, auth, register25};
        QTest::newRow("current user") << OperationsRow{Operation([](APIClient& c) { return ok(c.getCurrentUser(), [](const User& u) { return u.id == u"u1"_s; }); }), u"GET /auth/me"_s, userJson, QByteArray()};
        QTest::newRow("refresh, token not stored") << OperationsRow{Operation([](APIClient& c) { return ok(c.refreshToken(), [](const auto& r) { return r.token == u"new"_s; }) && !c.authToken(); }), u"POST /auth/refresh"_s, QByteArray(R"({"message":"ok","token":"new"})"), QByteArray()};
        QTest::newRow("projects") << OperationsRow{Operation([](APIClient& c) { return ok(c.getProjects(), [](const auto& p) { return p.size() == 3; }); }), u"GET /projects"_s, json::projects(), QByteArray()};
        QTest::newRow("tasks, both filters") << OperationsRow{Operation([](APIClient& c) { return ok(c.getTasks(u"P 1&2"_s, false)); }), u"GET /tasks?projectId=P%201%262&isCompleted=false"_s, json::tasks(), QByteArray()};
        QTest::newRow("tasks, no filter") << OperationsRow{Operation([](APIClient& c) { return ok(c.getTasks({}, {})); }), u"GET /tasks"_s, json::tasks(), QByteArray()};
        QTest::newRow("current entry") << OperationsRow{Operation([](APIClient& c) { return ok(c.getCurrentTimeEntry(), [](const auto& e) { return e.has_value(); }); }), u"GET /time-entries/current"_s, json::current(entryJson), QByteArray()};
        QTest::newRow("entries, limit only") << OperationsRow{Operation([](APIClient& c) { return ok(c.getTimeEntries({.limit = 10}), [](const auto& e) { return e.size() == 1; }); }), u"GET /time-entries?limit=10"_s, json::entries({entryJson}), QByteArray()};
        QTest::newRow("entries, every filter") << OperationsRow{Operation([](APIClient& c) { return ok(c.getTimeEntries({u"p"_s, true, u"2025-03-01T00:00:00+01:00"_s, u"2025-03-02"_s, 2, 5})); }), everyFilter, page2, QByteArray()};
        QTest::newRow("start") << OperationsRow{Operation([](APIClient& c) { return ok(c.startTimer(u"p1"_s, {}, u"Notes"_s)); }), u"POST /time-entries/start"_s, timerJson, QByteArray(R"({"projectId":"p1","description":"Notes"})")};
        QTest::newRow("stop") << OperationsRow{Operation([](APIClient& c) { return ok(c.stopTimer(u"e1"_s), [](const TimeEntry& e) { return e.id == u"e1"_s; }); }), u"POST /time-entries/e1/stop"_s, timerJson, QByteArray()};
        QTest::newRow("stop, hostile id stays one segment") << OperationsRow{Operation([](APIClient& c) { return ok(c.stopTimer(u"../x?y#z"_s)); }), u"POST /time-entries/..%2Fx%3Fy%23z/stop"_s, timerJson, QByteArray()};
        for (const char* id : {"", ".", ".."}) {
            QTest::addRow("stop, id \"%s\" refused", id) << OperationsRow{Operation([id](APIClient& c) { return errorText(QCoro::waitFor(c.stopTimer(QString::fromLatin1(id)))) == u"Invalid URL"_s; }), QString(), QByteArray(), QByteArray()};
        }
        QTest::newRow("earnings with zone") << OperationsRow{Operation([](APIClient& c) { return ok(c.getDashboardEarnings(u"America/New_York"_s), [](const auto& e) { return e.today.earnings == 12.5; }); }), u"GET /users/dashboard-earnings?timezone=America/New_York"_s, earningsJson, QByteArray()};
        QTest::newRow("earnings without zone") << OperationsRow{Operation([](APIClient& c) { return ok(c.getDashboardEarnings({})); }), u"GET /users/dashboard-earnings"_s, earningsJson, QByteArray()};
        // clang-format on
    }
    void operations() {
        QFETCH(OperationsRow, row);
        auto [operation, requestLine, answer, sentBody] = row;
        const QString method = requestLine.section(u' ', 0, 0);
        const QString path = requestLine.section(u' ', 1);
        m_f->server.on(method.toLatin1(), QUrl::fromPercentEncoding(path.toUtf8()), FakeResponse::json(200, answer));
        m_f->server.on(method.toLatin1(), path, FakeResponse::json(200, answer));
        QVERIFY(operation(m_f->client));
        if (requestLine.isEmpty()) {
            QVERIFY(m_f->client.findChildren<QNetworkReply*>().isEmpty()); // refused before sending
            return;
        }
        QCOMPARE(m_f->server.requestLines(), QStringList{requestLine});
        const QByteArray body = m_f->server.requests().at(0).body;
        if (sentBody.isEmpty()) {
            QCOMPARE(body, QByteArray());
        } else {
            QCOMPARE(QJsonDocument::fromJson(body).object(), QJsonDocument::fromJson(sentBody).object());
        }
    }
    void bodyThatCannotBeEncodedIsNotSent() {
        const auto result = QCoro::waitFor(m_f->client.registerAccount(u"N"_s, u"e"_s, u"p"_s, std::nan("")));
        QVERIFY(!result);
        QVERIFY(result.error().encodingError());
        QVERIFY(errorText(result).contains(u"defaultHourlyRate"_s));
        QVERIFY(m_f->client.findChildren<QNetworkReply*>().isEmpty()); // refused before anything was sent
    }
    void tokenFileIsPrivateAndRestored() {
        m_f->client.setAuthToken(u"abc/+="_s);
        const QFileInfo file(m_f->home.tokenFile());
        constexpr auto ownerGroupOther = 0x7077; // Qt's permission bits without the "current user" copy
        QCOMPARE(int(file.permissions()) & ownerGroupOther, 0x6000);
        QCOMPARE(int(QFileInfo(file.absolutePath()).permissions()) & ownerGroupOther, 0x7000);
        QCOMPARE(APIClient(m_f->server.baseURL(), &SettingsStore::tokenStore()).authToken(), u"abc/+="_s);

        m_f->client.clearAuthToken();
        QVERIFY(!m_f->home.storedToken());
        QVERIFY(!APIClient(m_f->server.baseURL(), &SettingsStore::tokenStore()).authToken());
    }
    void unsafeSettingsFilesAreLeftAlone_data() {
        QTest::addColumn<UnsafeSettingsFilesAreLeftAloneRow>("row");
        const QByteArray token = "[General]\nkelvo_auth_token=good-token-1\n";
        QTest::newRow("FIFO") << UnsafeSettingsFilesAreLeftAloneRow{QByteArray(), u"fifo"_s, u"it is not a regular file"_s};
        QTest::newRow("symbolic link") << UnsafeSettingsFilesAreLeftAloneRow{token, u"link"_s, u"it is not a regular file"_s};
        QTest::newRow("over 1 MiB") << UnsafeSettingsFilesAreLeftAloneRow{token + "x=" + QByteArray(1 << 20, 'a') + '\n', u"file"_s, u"it is larger than 1 MiB"_s};
        const QByteArray serialised = "@Variant(\\0\\0\\0\\t\\0\\0\\0\\x1)";
        QTest::newRow("serialised value") << UnsafeSettingsFilesAreLeftAloneRow{token + "x=" + serialised + '\n', u"file"_s, u"it holds a serialised value Kelvo never writes"_s};
        QTest::newRow("escaped serialised list element") << UnsafeSettingsFilesAreLeftAloneRow{token + "x=a, \\x40Variant(\\0)\n", u"file"_s, u"it holds a serialised value Kelvo never writes"_s};
    }
    void unsafeSettingsFilesAreLeftAlone() {
        QFETCH(UnsafeSettingsFilesAreLeftAloneRow, row);
        auto [text, kind, problem] = row;
        const QString path = m_f->home.tokenFile();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile file(kind == u"link" ? path + u".real"_s : path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
            file.close();
            if (kind == u"link") {
                QVERIFY(QFile::link(file.fileName(), path));
            }
        }
        m_f->lines.clear();
        // Neither read (a FIFO would block it, a nested value crash Qt's reader) nor rewritten.
        QVERIFY(!APIClient(m_f->server.baseURL(), &SettingsStore::tokenStore()).authToken());
        QVERIFY(!SettingsStore::read());
        QCOMPARE(m_f->lines.lines(), QStringList{u"Ignoring "_s + path + u": "_s + problem + u"; it is left as it is"_s});
        const QFileInfo before(path);
        QVERIFY(!m_f->client.setAuthToken(u"new-token-22"_s));
        QVERIFY(!SettingsStore::remove(u"kelvo_auth_token"_s));
        const QFileInfo after(path);
        QCOMPARE(after.isSymLink(), kind == u"link");
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.lastModified(), before.lastModified());
    }
    void destroyedClientEndsWaitingRequests() {
        m_f->server.on("GET", u"/projects"_s, FakeResponse::heldBack(200, R"({"projects":[]})"));
        auto client = std::make_unique<APIClient>(m_f->server.baseURL(), &SettingsStore::tokenStore());
        std::optional<APIResult<QList<Project>>> outcome;
        auto waiting = [](APIClient* client, auto* out) -> QCoro::Task<void> { *out = co_await client->getProjects(); }(client.get(),
                                                                                                                        &outcome);
        QVERIFY(m_f->server.waitForRequests(1));
        client.reset();
        QVERIFY(outcome.has_value()); // ended at once, not left waiting for ever
        QCOMPARE(errorText(*outcome), u"Network error: Operation canceled"_s);
    }
    void redirectsStayWithTheServer_data() {
        QTest::addColumn<RedirectsStayWithTheServerRow>("row");
        for (const QByteArray method : {"GET", "POST"}) {
            for (int status : {301, 302, 307, 308}) {
                QTest::addRow("%s %d elsewhere", method.data(), status) << RedirectsStayWithTheServerRow{method, status, false, QByteArray()};
            }
        }
        QTest::newRow("GET 302 same origin") << RedirectsStayWithTheServerRow{QByteArray("GET"), 302, true, QByteArray("GET")};
        QTest::newRow("POST 302 same origin") << RedirectsStayWithTheServerRow{QByteArray("POST"), 302, true, QByteArray("GET")};
        QTest::newRow("POST 307 same origin") << RedirectsStayWithTheServerRow{QByteArray("POST"), 307, true, QByteArray("POST")};
        QTest::newRow("POST 308 same origin") << RedirectsStayWithTheServerRow{QByteArray("POST"), 308, true, QByteArray("POST")};
    }
    void redirectsStayWithTheServer() {
        QFETCH(RedirectsStayWithTheServerRow, row);
        auto [method, status, sameOrigin, followedAs] = row;
        FakeServer elsewhere;
        const QString path = method == "GET" ? u"/auth/me"_s : u"/auth/login"_s;
        const QByteArray answer = method == "GET" ? userJson : json::auth();
        m_f->server.on(method, path, FakeResponse::redirect(status, (sameOrigin ? m_f->server : elsewhere).baseURL() + u"/moved"_s));
        for (FakeServer* server : {&m_f->server, &elsewhere}) {
            server->on("GET", u"/moved"_s, FakeResponse::json(200, answer));
            server->on("POST", u"/moved"_s, FakeResponse::json(200, answer));
        }
        m_f->client.setAuthToken(u"T0k3n"_s);
        const QString error = method == "GET" ? errorText(QCoro::waitFor(m_f->client.getCurrentUser()))
                                              : errorText(QCoro::waitFor(m_f->client.login(u"ada@example.com"_s, u"pw"_s)));
        QVERIFY(elsewhere.requests().isEmpty()); // no token, no password
        if (followedAs.isEmpty()) {
            QCOMPARE(error, u"Unknown error occurred"_s);
            QCOMPARE(m_f->server.requests().size(), 1);
            QCOMPARE(m_f->client.authToken(), u"T0k3n"_s);
            return;
        }
        QCOMPARE(error, QString());
        const RecordedRequest moved = m_f->server.requests().constLast();
        QCOMPARE(moved.method + ' ' + moved.path.toUtf8(), followedAs + " /moved");
        QCOMPARE(moved.body, followedAs == "POST" ? m_f->server.requests().constFirst().body : QByteArray());
    }
    void tokensOutsideTheBearerSet_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("valid");
        QTest::newRow("padded") << u"a-b.c_d~e+f/g=="_s << true;
        QTest::newRow("4,096 bytes") << QString(4096, u'x') << true;
        QTest::newRow("4,097 bytes") << QString(4097, u'x') << false;
        QTest::newRow("CR LF") << u"t\r\nX-Injected: 1"_s << false;
        QTest::newRow("space") << u"a b"_s << false;
        QTest::newRow("padding inside") << u"a=b"_s << false;
        QTest::newRow("padding only") << u"=="_s << false;
        QTest::newRow("non-ASCII") << u"t\u00e9"_s << false;
    }
    // A token that could break out of its header is never sent, wherever it comes from.
    void tokensOutsideTheBearerSet() {
        QFETCH(QString, token);
        QFETCH(bool, valid);
        {
            QSettings file(m_f->home.tokenFile(), QSettings::IniFormat);
            file.setValue(u"kelvo_auth_token"_s, token);
        }
        APIClient stored(m_f->server.baseURL(), &SettingsStore::tokenStore());
        QCOMPARE(stored.authToken().has_value(), valid);
        QCOMPARE(m_f->lines.lines().size(), valid ? 0 : 1);
        QCOMPARE(m_f->home.storedToken(), token); // left in the file

        m_f->lines.clear();
        m_f->server.on(
            "POST", u"/auth/refresh"_s,
            FakeResponse::json(
                200, QJsonDocument(QJsonObject{{u"message"_s, u"ok"_s}, {u"token"_s, token}}).toJson(QJsonDocument::Compact)));
        const auto refreshed = QCoro::waitFor(m_f->client.refreshToken());
        QCOMPARE(bool(refreshed), valid);
        if (!valid) {
            QCOMPARE(errorText(refreshed), u"Data parsing error: token: not a valid bearer token"_s);
            QVERIFY(!m_f->lines.lines().join(u'\n').contains(token)); // masked in the raw line
        }
    }
    void answersAreBounded_data() {
        QTest::addColumn<FakeResponse>("answer");
        QTest::addColumn<int>("deadlineMs");
        QTest::addColumn<QString>("error");
        const QString tooLarge = u"Network error: response too large"_s;
        QTest::newRow("endless") << FakeResponse::endless() << 60'000 << tooLarge;
        QTest::newRow("declared too large") << FakeResponse::json(200, QByteArray(300'000, ' ')) << 60'000 << tooLarge;
        QTest::newRow("slow drip") << FakeResponse::drip(R"({"projects":[]})") << 200 << u"Network error: timed out"_s;
        QTest::newRow("within bounds") << FakeResponse::json(200, R"({"projects":[]})" + QByteArray(200'000, ' ')) << 60'000
                                       << QString();
    }
    void answersAreBounded() {
        QFETCH(FakeResponse, answer);
        QFETCH(int, deadlineMs);
        QFETCH(QString, error);
        constexpr qint64 cap = 256 * 1024;
        m_f->client.setLimits({std::chrono::milliseconds(deadlineMs), cap});
        m_f->server.on("GET", u"/projects"_s, answer);
        QCOMPARE(errorText(QCoro::waitFor(m_f->client.getProjects())), error);
        // Never more than the cap (and the byte that shows it is exceeded) plus what Qt holds unread.
        QVERIFY(m_f->client.peakBufferedBytes() <= cap + 1 + ReplyWatch::replyBufferBytes);
    }

private:
    std::unique_ptr<ClientFixture> m_f;
};

QTEST_GUILESS_MAIN(tst_APIClient)
#include "tst_apiclient.moc"
