// The three state objects: session, timer and earnings.
#include "Json.h"
#include "TestSupport.h"

#include "records/NamedColors.h"
#include "state/Connectivity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// outcome: signed in, signed out or retrying
struct RestoreSessionRow { QList<FakeResponse> meAnswers; FakeResponse refreshAnswer; QStringList requests; QString outcome; std::optional<QString> storedToken; };
// error: empty: signed in
struct SignInRow { bool registering; int status; QByteArray body; QString error; };
// advance: seconds the clock moves before the next tick
struct LateTickFollowsTheClockRow { QByteArray start; qint64 advance, elapsed; };

} // namespace

class tst_State : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_f = std::make_unique<ClientFixture>();
        m_f->serveNothingRunning();
    }
    void cleanup() { m_f.reset(); }
    void restoreSession_data() {
        QTest::addColumn<RestoreSessionRow>("row");
        const QString me = u"GET /auth/me"_s;
        const QString refresh = u"POST /auth/refresh"_s;
        const auto status = [](int code) { return FakeResponse::json(code, code == 200 ? json::user() : QByteArray()); };
        const FakeResponse renewed = FakeResponse::json(200, R"({"message":"ok","token":"new"})");
        const FakeResponse portal = FakeResponse::redirect(302, u"http://portal.example/login"_s);
        // clang-format off
        QTest::newRow("accepted") << RestoreSessionRow{QList{status(200)}, renewed, QStringList{me}, u"in"_s, std::optional<QString>(u"old"_s)};
        QTest::newRow("500, refresh, 200") << RestoreSessionRow{QList{status(500), status(200)}, renewed, QStringList{me, refresh, me}, u"in"_s, std::optional<QString>(u"new"_s)};
        QTest::newRow("401, refresh 401") << RestoreSessionRow{QList{status(401)}, status(401), QStringList{me, refresh}, u"out"_s, std::optional<QString>()};
        QTest::newRow("500, refresh, 401") << RestoreSessionRow{QList{status(500), status(401)}, renewed, QStringList{me, refresh, me}, u"out"_s, std::optional<QString>()};
        // Only a 401 ends a stored session: a proxy or a captive portal keeps it.
        QTest::newRow("401, refresh 407") << RestoreSessionRow{QList{status(401)}, status(407), QStringList{me, refresh}, u"retrying"_s, std::optional<QString>(u"old"_s)};
        QTest::newRow("404, refresh 404") << RestoreSessionRow{QList{status(404)}, status(404), QStringList{me, refresh}, u"retrying"_s, std::optional<QString>(u"old"_s)};
        QTest::newRow("portal redirects") << RestoreSessionRow{QList{portal}, portal, QStringList{me, refresh}, u"retrying"_s, std::optional<QString>(u"old"_s)};
        QTest::newRow("500, refresh, 403") << RestoreSessionRow{QList{status(500), status(403)}, renewed, QStringList{me, refresh, me}, u"retrying"_s, std::optional<QString>(u"new"_s)};
        // clang-format on
    }
    void restoreSession() {
        QFETCH(RestoreSessionRow, row);
        auto [meAnswers, refreshAnswer, requests, outcome, storedToken] = row;
        m_f->client.setAuthToken(u"old"_s);
        for (const FakeResponse& answer : meAnswers) {
            m_f->server.enqueue("GET", u"/auth/me"_s, answer);
        }
        m_f->server.on("POST", u"/auth/refresh"_s, refreshAnswer);

        AuthViewModel auth(&m_f->client);
        auth.setRestoreRetryInterval(std::chrono::hours(1));
        SignalLog log(&auth);
        QVERIFY(m_f->server.requests().isEmpty()); // creation only schedules the restore
        // The restore ends by signing in, by signing out (which clears the error last), or by
        // waiting to try again.
        const QString last = outcome == u"in" ? u"isAuthenticatedChanged"_s
                             : outcome == u"out" ? u"errorMessageChanged"_s
                                                 : u"isRetryingRestoreChanged"_s;
        QTRY_VERIFY(!log.names().isEmpty() && log.names().last() == last);
        QCOMPARE(m_f->server.requestLines(), requests);
        QCOMPARE(auth.isAuthenticated(), outcome == u"in");
        QCOMPARE(auth.isRetryingRestore(), outcome == u"retrying");
        QCOMPARE(m_f->home.storedToken(), storedToken);
        QVERIFY(!auth.errorMessage());
        QCOMPARE(log.count(u"isLoadingChanged"_s), 0);
        if (outcome == u"in") {
            QCOMPARE(log.names(), (QStringList{u"currentUserChanged"_s, u"isAuthenticatedChanged"_s}));
            QCOMPARE(m_f->server.requests().last().header("Authorization"), "Bearer " + storedToken->toUtf8());
        }
        if (meAnswers.first().status == 401) {
            QVERIFY(!m_f->server.requests().at(1).hasHeader("Authorization"));
        }
    }
    void restoreRetriesUntilTheServerAnswers_data() {
        QTest::addColumn<std::optional<FakeResponse>>("failure"); // none: the connection is refused
        QTest::addColumn<bool>("byInterval");                     // else when the network comes back
        QTest::newRow("connection refused") << std::optional<FakeResponse>() << false;
        QTest::newRow("500") << std::optional(FakeResponse::json(500, {})) << false;
        QTest::newRow("429") << std::optional(FakeResponse::json(429, R"({"error":"Slow down"})")) << true;
        QTest::newRow("garbage") << std::optional(FakeResponse::json(200, "<html>")) << false;
    }
    void restoreRetriesUntilTheServerAnswers() {
        QFETCH(std::optional<FakeResponse>, failure);
        QFETCH(bool, byInterval);
        const quint16 port = closedPort();
        APIClient client(failure ? m_f->server.baseURL() : u"http://127.0.0.1:%1"_s.arg(port), &SettingsStore::tokenStore());
        client.setLimits({std::chrono::milliseconds(200), 1 << 20});
        client.setAuthToken(u"old"_s);
        if (failure) {
            m_f->server.enqueue("GET", u"/auth/me"_s, *failure);
            m_f->server.enqueue("POST", u"/auth/refresh"_s, *failure);
            m_f->server.on("GET", u"/auth/me"_s, FakeResponse::json(200, json::user())); // once those are used up
        }
        Connectivity network;
        AuthViewModel auth(&client);
        auth.setConnectivity(&network);
        auth.setRestoreRetryInterval(byInterval ? std::chrono::milliseconds(1) : std::chrono::hours(1));
        SignalLog log(&auth);
        QTRY_VERIFY(log.count(u"isRetryingRestoreChanged"_s) > 0); // the first run failed for now
        FakeServer back(failure ? 0 : port); // the refused server comes back
        back.on("GET", u"/auth/me"_s, FakeResponse::json(200, json::user()));
        FakeServer& server = failure ? m_f->server : back;
        if (!byInterval) {
            QVERIFY(auth.isRetryingRestore());
            Q_EMIT network.regained();
        }
        QTRY_VERIFY(auth.isAuthenticated());
        QCOMPARE(log.count(u"isRetryingRestoreChanged"_s), 2); // on, then off
        QCOMPARE(server.requestLines().last(), u"GET /auth/me"_s);
        QCOMPARE(m_f->home.storedToken(), u"old"_s);
    }
    void signInOvertakesARestoreInFlight_data() {
        QTest::addColumn<QString>("held"); // the restore's request still out when the user signs in
        QTest::addColumn<FakeResponse>("lateAnswer");
        QTest::newRow("refresh renews the old session")
            << u"/auth/refresh"_s << FakeResponse::heldBack(200, R"({"message":"ok","token":"stale"})");
        QTest::newRow("me refuses the old token") << u"/auth/me"_s << FakeResponse::heldBack(401, {});
        QTest::newRow("refresh refuses the old token") << u"/auth/refresh"_s << FakeResponse::heldBack(401, {});
    }
    void signInOvertakesARestoreInFlight() {
        QFETCH(QString, held);
        QFETCH(FakeResponse, lateAnswer);
        m_f->client.setAuthToken(u"old"_s);
        m_f->server.on("GET", u"/auth/me"_s, FakeResponse::json(503, {}));
        m_f->server.on(held == u"/auth/me"_s ? "GET" : "POST", held, lateAnswer);
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(200, json::auth("fresh")));
        AuthViewModel auth(&m_f->client);
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        QCoro::waitFor(auth.login(u"a@x.io"_s, u"pw"_s));
        releaseAndWait();
        QCoreApplication::processEvents(); // the restore takes the late answer in
        QCOMPARE(m_f->home.storedToken(), u"fresh"_s);
        QVERIFY(auth.isAuthenticated());
    }
    void signInThatCannotBeSaved_data() {
        QTest::addColumn<bool>("folderInPlaceOfTheFile"); // else a file in place of the folder
        QTest::newRow("folder in place of the file") << true;
        QTest::newRow("file in place of the folder") << false;
    }
    void signInThatCannotBeSaved() {
        QFETCH(bool, folderInPlaceOfTheFile);
        const QString file = m_f->home.tokenFile();
        if (folderInPlaceOfTheFile) {
            QVERIFY(QDir().mkpath(file));
        } else {
            QFile blocker(QFileInfo(file).absolutePath());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(200, json::auth("fresh")));
        AuthViewModel auth(&m_f->client);
        QCoro::waitFor(auth.login(u"a@x.io"_s, u"pw"_s));
        QCOMPARE(m_f->client.authToken(), u"fresh"_s); // for this run
        const QString warning = auth.saveWarning().value_or(QString());
        QVERIFY2(warning.startsWith(u"Signed in, but the sign-in could not be saved: cannot "_s), qPrintable(warning));
        QVERIFY(m_f->lines.lines().contains(u"Could not save the sign-in in "_s + file));
        auth.dismissSaveWarning();
        QVERIFY(!auth.saveWarning());
    }
    void signIn_data() {
        QTest::addColumn<SignInRow>("row");
        // clang-format off
        QTest::newRow("login ok") << SignInRow{false, 200, json::auth("fresh"), QString()};
        QTest::newRow("register ok") << SignInRow{true, 201, json::auth("fresh"), QString()};
        QTest::newRow("login 400 with error") << SignInRow{false, 400, QByteArray(R"({"error":"Invalid email","message":"x"})"), u"Invalid email"_s};
        QTest::newRow("register 409") << SignInRow{true, 409, QByteArray(R"({"error":"Email is already registered"})"), u"Email is already registered"_s};
        QTest::newRow("login answer unreadable") << SignInRow{false, 200, QByteArray(R"({"token":"t"})"), u"Data parsing error: user: missing"_s};
        // clang-format on
    }
    void signIn() {
        QFETCH(SignInRow, row);
        auto [registering, status, body, error] = row;
        const QString path = registering ? u"/auth/register"_s : u"/auth/login"_s;
        m_f->server.on("POST", path, FakeResponse::json(status, body));
        AuthViewModel auth(&m_f->client);
        SignalLog log(&auth);
        if (registering) {
            QCoro::waitFor(auth.registerAccount(u"Ada"_s, u" Ada@X.io "_s, u"secret"_s, std::nullopt, std::nullopt));
        } else {
            QCoro::waitFor(auth.login(u" Ada@X.io "_s, u"pw"_s));
        }
        QVERIFY(m_f->server.requests().at(0).body.contains(R"("email":" Ada@X.io ")")); // passed on as given
        QCOMPARE(auth.isAuthenticated(), error.isEmpty());
        QCOMPARE(auth.errorMessage().value_or(QString()), error);
        QCOMPARE(m_f->home.storedToken(), error.isEmpty() ? std::optional<QString>(u"fresh"_s) : std::nullopt);
        const QStringList start{u"isLoadingChanged"_s, u"errorMessageChanged"_s};
        QCOMPARE(log.names(),
                 start + (error.isEmpty()
                              ? QStringList{u"currentUserChanged"_s, u"isAuthenticatedChanged"_s, u"isLoadingChanged"_s}
                              : QStringList{u"errorMessageChanged"_s, u"isAuthenticatedChanged"_s, u"isLoadingChanged"_s}));
    }
    void logoutDuringAnOutstandingSignIn() {
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::heldBack(200, json::auth("fresh")));
        AuthViewModel auth(&m_f->client);
        auto pending = auth.login(u"a@x.io"_s, u"pw"_s);
        QVERIFY(m_f->server.waitForRequests(1));
        auth.logout();
        QVERIFY(auth.isLoading());
        m_f->server.release();
        QCoro::waitFor(pending);
        QVERIFY(auth.isAuthenticated()); // the late success signs back in
        QCOMPARE(m_f->home.storedToken(), u"fresh"_s);
    }
    void destroyedWhileSigningIn() {
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::heldBack(200, json::auth("fresh")));
        auto* auth = new AuthViewModel(&m_f->client);
        auth->login(u"a@x.io"_s, u"pw"_s);
        QVERIFY(m_f->server.waitForRequests(1));
        delete auth;
        releaseAndWait(); // the answer arrives after the object is gone
        QVERIFY(!m_f->home.storedToken());
    }
    void refreshIsStrictlySequential() {
        m_f->server.enqueue("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(json::entry("e1", true))));
        m_f->server.enqueue("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({json::entry("e1", true)})));
        auto refreshing = model();
        SignalLog log(refreshing.get());
        QTRY_VERIFY(m_f->lines.lines().contains(u"✅ Data refresh completed"_s));
        QCOMPARE(m_f->server.requestLines(),
                 (QStringList{u"GET /time-entries/current"_s, u"GET /time-entries?limit=10"_s, u"GET /projects"_s}));
        for (qsizetype i = 0; i < 3; ++i) {
            QCOMPARE(m_f->server.requests().at(i).answeredBefore, i); // each waits for the answer before it
        }
        QCOMPARE(m_f->lines.lines(),
                 (QStringList{u"🔄 Starting full data refresh..."_s, u"📊 Loading current entry..."_s,
                              u"⏱️ Found running timer, starting elapsed time counter"_s, u"📋 Loading recent entries..."_s,
                              u"📝 Loaded 1 recent entries"_s, u"📁 Loading projects..."_s, u"📂 Loaded 3 projects"_s,
                              u"✅ Data refresh completed"_s}));
        QCOMPARE(log.names().first(), u"isRefreshingChanged"_s);
        QCOMPARE(log.names().last(), u"isRefreshingChanged"_s);
    }
    void failuresLeaveTheCountAlone() {
        auto model = settledModel();
        QCoro::waitFor(model->stopTimer());
        QVERIFY(m_f->server.requests().isEmpty());

        model->updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
        model->startElapsedTimer();
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(409, R"({"error":"A timer is already running"})"));
        QCoro::waitFor(model->startTimer(std::nullopt, std::nullopt, std::nullopt));
        QCOMPARE(model->errorMessage(), u"A timer is already running"_s);
        QVERIFY(model->elapsedTime() >= 65);
        QVERIFY(model->isCounting());
    }
    void anAnswerOvertakenByAStopIsOldNews() {
        auto model = settledModel();
        loadCurrent(*model, json::entry("e9", true));
        m_f->server.enqueue("GET", u"/time-entries/current"_s, FakeResponse::heldBack(200, json::current(json::entry("e9", true))));
        auto looking = model->loadCurrentEntry();
        QVERIFY(m_f->server.waitForRequests(m_f->server.requests().size() + 1));
        m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::json(200, json::timer(json::entry("e9", false))));
        QVERIFY(QCoro::waitFor(model->stopTimer()).has_value());
        m_f->server.release();
        QCoro::waitFor(looking);
        QVERIFY(!model->isTimerRunning());
    }
    void stopWaitsForTheServer() {
        m_f->client.setAuthToken(u"token-1234"_s);
        auto model = settledModel();
        model->setRetryWaits(std::chrono::milliseconds(10), std::chrono::milliseconds(40));
        loadCurrent(*model, json::entry("e9", true));
        m_f->server.enqueue("POST", u"/time-entries/e9/stop"_s, FakeResponse::dropped());
        m_f->server.enqueue("POST", u"/time-entries/e9/stop"_s, FakeResponse::json(503, {}));
        m_f->server.enqueue("POST", u"/time-entries/e9/stop"_s, FakeResponse::heldBack(200, json::timer(json::entry("e9", false))));
        QSignalSpy succeeded(model.get(), &TimerViewModel::actionSucceeded);
        QCoro::waitFor(model->stopTimer());
        // Not dropped: it waits, the entry still runs and says so, and no timer starts meanwhile.
        QCOMPARE(model->pendingStop(), u"e9"_s);
        QVERIFY(model->isTimerRunning());
        QCOMPARE(model->errorMessage(), TimerViewModel::waitingStopText());
        QCoro::waitFor(model->startTimer(u"p1"_s, std::nullopt, std::nullopt));
        QTRY_COMPARE(m_f->server.heldCount(), 1); // tried again after pauses until answered
        QVERIFY(!m_f->server.requestLines().contains(u"POST /time-entries/start"_s));
        m_f->server.release();
        QTRY_VERIFY(!model->pendingStop());
        QVERIFY(!model->isTimerRunning());
        QVERIFY(!model->errorMessage());
        QTRY_COMPARE(succeeded.size(), 1);
        QCOMPARE(m_f->server.requestLines().count(u"POST /time-entries/e9/stop"_s), 3);
    }
    void waitingStopOutlivesAQuit() {
        m_f->client.setAuthToken(u"token-1234"_s);
        {
            auto model = settledModel();
            loadCurrent(*model, json::entry("e9", true));
            m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::dropped());
            QCoro::waitFor(model->stopTimer());
            model->settleBeforeQuit(std::chrono::seconds(10)); // its last try fails at once
            QCOMPARE(SettingsStore::text(u"pending_stop"_s), u"e9"_s);
        }
        // The next start sends it, and says so; once answered it is kept no more.
        m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::json(200, json::timer(json::entry("e9", false))));
        m_f->lines.clear();
        auto next = model();
        QTRY_VERIFY(m_f->server.requestLines().contains(u"POST /time-entries/e9/stop"_s));
        QTRY_VERIFY(!next->pendingStop());
        QVERIFY(m_f->lines.lines().contains(u"Sending the stop that could not be sent before Kelvo quit"_s));
        QVERIFY(!SettingsStore::text(u"pending_stop"_s));
    }
    void outageEndsWhenTheServerAnswers() {
        const quint16 port = closedPort();
        APIClient client(u"http://127.0.0.1:%1"_s.arg(port), &SettingsStore::tokenStore());
        client.setAuthToken(u"token-1234"_s);
        TimerViewModel model(&client, &m_f->clock);
        model.setRetryWaits(std::chrono::milliseconds(10), std::chrono::milliseconds(40));
        QCoro::waitFor(model.startTimer(u"p1"_s, std::nullopt, std::nullopt));
        QVERIFY(model.errorMessage().value_or(QString()).startsWith(u"Network error: "_s));
        QSignalSpy returned(&model, &TimerViewModel::serverReturned);
        FakeServer back(port); // the server comes back: its first answer ends the outage
        back.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current()));
        QTRY_COMPARE(returned.size(), 1);
        QVERIFY(!model.errorMessage());
    }
    void signOutForgetsTheAccount() {
        m_f->client.setAuthToken(u"token-1234"_s);
        auto model = settledModel();
        model->setRetryWaits(std::chrono::hours(1), std::chrono::hours(1));
        loadCurrent(*model, json::entry("e9", true));
        QCoro::waitFor(model->loadRecentEntries());
        model->setSelectedProjectId(u"p1"_s);
        m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::dropped());
        QCoro::waitFor(model->stopTimer());
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::heldBack(200, json::current(json::entry("e9", true))));
        auto late = model->loadCurrentEntry();
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        QVERIFY(model->forgetAccount()); // a stop was still waiting
        releaseAndWait(); // the old account's answer comes after the sign-out
        QCoro::waitFor(late);
        QVERIFY(!model->currentEntry() && !model->isCounting() && model->elapsedTime() == 0);
        QVERIFY(model->projects().isEmpty() && model->recentEntries().isEmpty() && !model->selectedProjectId());
        QVERIFY(!model->pendingStop() && !model->errorMessage() && !model->hasLoadedProjects());
    }
    void lateTickFollowsTheClock_data() {
        QTest::addColumn<LateTickFollowsTheClockRow>("row");
        QTest::newRow("on time") << LateTickFollowsTheClockRow{QByteArray("2025-03-01T10:00:00.000Z"), qint64(1), qint64(66)};
        QTest::newRow("3 s late still adds one") << LateTickFollowsTheClockRow{QByteArray("2025-03-01T10:00:00.000Z"), qint64(3), qint64(66)};
        QTest::newRow("4 s late resynchronises") << LateTickFollowsTheClockRow{QByteArray("2025-03-01T10:00:00.000Z"), qint64(4), qint64(69)};
        QTest::newRow("unreadable start adds one") << LateTickFollowsTheClockRow{QByteArray("2025-03-01T10:00:00+01:00"), qint64(3600), qint64(1)};
    }
    void lateTickFollowsTheClock() {
        QFETCH(LateTickFollowsTheClockRow, row);
        auto [start, advance, elapsed] = row;
        auto model = settledModel();
        loadCurrent(*model, json::entry("e1", true, start));
        // An unreadable start is said once, when it is loaded, and counts from 0.
        QCOMPARE(m_f->lines.lines().contains(u"❌ Failed to parse start time: "_s + QString::fromUtf8(start)),
                 model->elapsedTime() == 0);
        const qsizetype lines = m_f->lines.lines().size();
        m_f->clock.advance(advance);
        QVERIFY(nextTick(*model));
        QCOMPARE(model->elapsedTime(), elapsed);
        QCOMPARE(m_f->lines.lines().size(), lines); // a tick prints nothing
    }
    void failingLoadsKeepOldData() {
        auto model = settledModel();
        QCoro::waitFor(model->loadTasks(u"p1"_s));
        QCOMPARE(m_f->server.requestLines().last(), u"GET /tasks?projectId=p1&isCompleted=false"_s);
        loadCurrent(*model, json::entry("e1", true));
        m_f->server.on("GET", u"/tasks"_s, FakeResponse::json(500, {}));
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(500, {}));
        // A whole status line, then the body breaks off: that says nothing about the running entry.
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::cut(200, R"({"timeEntry":nu)"));
        QCoro::waitFor(model->loadTasks(u"p2"_s));
        QCoro::waitFor(model->loadProjects());
        QCoro::waitFor(model->loadCurrentEntry());
        QCOMPARE(model->tasks().size(), 1);
        QCOMPARE(model->projects().size(), 3);
        QCOMPARE(model->currentEntry()->id, u"e1"_s);
        QVERIFY(model->isCounting());
        QVERIFY(!model->errorMessage());
        QCOMPARE(m_f->lines.lines().filter(u"Error loading"_s).size(), 3);
        QVERIFY(m_f->lines.lines().filter(u"Decoding error"_s).isEmpty());
    }
    void windowFocusReloadsTheCurrentEntry() {
        auto model = settledModel();
        QWindow window;
        window.show();
        window.requestActivate();
        QTRY_VERIFY(m_f->server.requestLines().contains(u"GET /time-entries/current"_s));
    }
    void destroyedDuringARefresh() {
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::heldBack(200, json::current(json::entry("e1", true))));
        auto refreshing = model();
        QVERIFY(m_f->server.waitForRequests(1));
        refreshing.reset();
        releaseAndWait();
        // The refresh ended with its object: no next load was started.
        const auto replies = m_f->client.findChildren<QNetworkReply*>();
        QVERIFY(std::all_of(replies.begin(), replies.end(), [](QNetworkReply* r) { return r->isFinished(); }));
    }
    void formattedSeconds_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("elapsed");  // the running count
        QTest::addColumn<QString>("duration"); // the earnings cards' figure
        const QString none = u"\u2014"_s;
        // clang-format off
        for (auto [seconds, elapsed, duration] : {std::tuple{0, "00:00", "0m"}, {59, "00:59", "0m"}, {60, "01:00", "1m"}, {3599, "59:59", "59m"},
                                                  {3600, "01:00:00", "1h 0m"}, {90000, "25:00:00", "25h 0m"}, {360000, "100:00:00", "100h 0m"}}) {
            QTest::addRow("%d", seconds) << qint64(seconds) << QString::fromUtf8(elapsed) << QString::fromUtf8(duration);
        }
        // clang-format on
        QTest::newRow("a start ahead counts from 0") << qint64(-60) << u"00:00"_s << none;
        QTest::newRow("over 100,000 hours") << qint64(100'000LL * 3600 + 1) << none << none;
    }
    void formattedSeconds() {
        QFETCH(qint64, seconds);
        QFETCH(QString, elapsed);
        QFETCH(QString, duration);
        auto formatted = model();
        formatted->updateElapsedTime(m_f->clock.now().addSecs(-seconds).toString(Qt::ISODate));
        QCOMPARE(formatted->formattedElapsedTime(), elapsed);
        QCOMPARE(DashboardViewModel::formatDuration(seconds), duration);
    }

private:
    std::unique_ptr<TimerViewModel> model() { return std::make_unique<TimerViewModel>(&m_f->client, &m_f->clock); }
    // A model whose start-up refresh (no entry, no entries, three projects) has completed.
    std::unique_ptr<TimerViewModel> settledModel() {
        auto settled = model();
        if (!QTest::qWaitFor([this] { return m_f->lines.lines().contains(u"✅ Data refresh completed"_s); }, 10000)) {
            qFatal("the start-up refresh did not complete");
        }
        m_f->server.clearRequests();
        m_f->lines.clear();
        return settled;
    }
    // Loads `entry` as the current one.
    void loadCurrent(TimerViewModel& model, const QByteArray& entry) {
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(entry)));
        QCoro::waitFor(model.loadCurrentEntry());
    }
    // Waits for the next one-second tick of the count.
    static bool nextTick(TimerViewModel& model) { return QSignalSpy(&model, &TimerViewModel::elapsedTimeChanged).wait(5000); }
    // Waits until the client's answer held back by the server has been taken in.
    void releaseAndWait() {
        QSignalSpy answered(m_f->client.findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished);
        m_f->server.release();
        QVERIFY(answered.wait());
    }

    std::unique_ptr<ClientFixture> m_f;
};

QTEST_MAIN(tst_State)
#include "tst_state.moc"
