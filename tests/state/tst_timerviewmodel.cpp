#include "FakeServer.h"
#include "TestSupport.h"

#include "records/Clock.h"
#include "records/Formatting.h"
#include "state/TimerViewModel.h"

#include <QGuiApplication>
#include <QTest>
#include <QWindow>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime now(QDate(2025, 3, 1), QTime(10, 1, 5), Qt::UTC);

QByteArray entry(const QByteArray& id, bool running, const QByteArray& start = "2025-03-01T10:00:00.000Z",
                 const QByteArray& extra = {}) {
    return R"({"id":")" + id + R"(","startTime":")" + start + R"(","isRunning":)" + (running ? "true" : "false") +
           (running ? "" : R"(,"duration":65)") + extra + "}";
}

QByteArray timer(const QByteArray& entryJson) {
    return R"({"message":"ok","timeEntry":)" + entryJson + "}";
}

const QByteArray noEntries = R"({"entries":[]})";
const QByteArray projects =
    R"({"projects":[{"id":"p1","name":"Web","color":"#10B981","isActive":true},{"id":"p2","name":"Bad","color":"#12345","isActive":true}]})";

} // namespace

class tst_TimerViewModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void refreshIsStrictlySequential();
    void startThenStop();
    void failuresLeaveTheCountAlone();
    void tickAndResynchronise();
    void startTimeForms_data();
    void startTimeForms();
    void failingLoadsKeepOldData();
    void lookups();
    void formattedElapsedTime_data();
    void formattedElapsedTime();
    void overlappingLoadsApplyTheirOwnOutcome();
    void windowFocusReloadsTheCurrentEntry();
    void destroyedDuringARefresh();

private:
    // A model whose start-up refresh (no entry, no entries, two projects) has completed.
    std::unique_ptr<TimerViewModel> settledModel();

    std::unique_ptr<ClientFixture> m_f;
};

void tst_TimerViewModel::init() {
    Clock::setFixedNow(now);
    m_f = std::make_unique<ClientFixture>();
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, R"({"timeEntry":null})"));
    m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, noEntries));
    m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, projects));
}

void tst_TimerViewModel::cleanup() {
    m_f.reset();
    Clock::setFixedNow(std::nullopt);
}

std::unique_ptr<TimerViewModel> tst_TimerViewModel::settledModel() {
    auto model = std::make_unique<TimerViewModel>(&m_f->client);
    if (!QTest::qWaitFor([this] { return m_f->lines.lines().contains(u"✅ Data refresh completed"_s); }, 5000)) {
        qFatal("the start-up refresh did not complete");
    }
    m_f->server.clearRequests();
    m_f->lines.clear();
    return model;
}

void tst_TimerViewModel::refreshIsStrictlySequential() {
    m_f->server.enqueue("GET", u"/time-entries/current"_s,
                        FakeResponse::json(200, "{\"timeEntry\":" + entry("e1", true) + "}", 200));
    m_f->server.enqueue("GET", u"/time-entries"_s, FakeResponse::json(200, "{\"entries\":[" + entry("e1", true) + "]}", 200));
    TimerViewModel model(&m_f->client);
    SignalLog log(&model);
    QVERIFY(m_f->server.waitForRequests(1));
    QTest::qWait(100);
    QCOMPARE(m_f->server.requests().size(), 1); // the next load waits for this answer
    QTRY_COMPARE(model.isRefreshing(), false);
    QCOMPARE(m_f->server.requestLines(),
             (QStringList{u"GET /time-entries/current"_s, u"GET /time-entries?limit=10"_s, u"GET /projects"_s}));
    QCOMPARE(m_f->lines.lines(),
             (QStringList{u"🔄 Starting full data refresh..."_s, u"📊 Loading current entry..."_s,
                          u"⏱️ Found running timer, starting elapsed time counter"_s, u"📋 Loading recent entries..."_s,
                          u"📝 Loaded 1 recent entries"_s, u"📁 Loading projects..."_s, u"📂 Loaded 2 projects"_s,
                          u"✅ Data refresh completed"_s}));
    QCOMPARE(log.names().first(), u"isRefreshingChanged"_s);
    QCOMPARE(log.names().last(), u"isRefreshingChanged"_s);
    QCOMPARE(model.elapsedTime(), 65);
    QVERIFY(model.isCounting());
}

void tst_TimerViewModel::startThenStop() {
    auto model = settledModel();
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, timer(entry("e9", true, "2025-03-01T10:00:05Z"))));
    m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::json(200, timer(entry("e9", false))));
    m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, "{\"entries\":[" + entry("e9", false) + "]}", 100));
    SignalLog log(model.get());

    QCoro::waitFor(model->startTimer(u"p1"_s, std::nullopt, u"Notes"_s));
    QCOMPARE(m_f->server.requests().at(0).body, QByteArray(R"({"description":"Notes","projectId":"p1"})"));
    QVERIFY(model->isTimerRunning());
    QCOMPARE(model->elapsedTime(), 60);
    QVERIFY(model->isCounting());
    QCOMPARE(log.names().last(), u"isLoadingChanged"_s);
    QVERIFY(log.names().indexOf(u"recentEntriesChanged"_s) < log.names().lastIndexOf(u"isLoadingChanged"_s));

    log.clear();
    auto stopping = model->stopTimer();
    QTRY_COMPARE(log.count(u"currentEntryChanged"_s), 1);
    QVERIFY(!model->isTimerRunning());
    QCOMPARE(model->currentEntry()->id, u"e9"_s);
    QCOMPARE(model->elapsedTime(), 0);
    QVERIFY(model->isLoading()); // still reloading the entries
    QCoro::waitFor(stopping);
    QVERIFY(!model->isLoading());
    QCOMPARE(model->recentEntries().size(), 1);
    QVERIFY(!model->isCounting());
    QCOMPARE(m_f->server.requestLines().mid(1),
             (QStringList{u"GET /time-entries?limit=10"_s, u"POST /time-entries/e9/stop"_s, u"GET /time-entries?limit=10"_s}));
}

void tst_TimerViewModel::failuresLeaveTheCountAlone() {
    auto model = settledModel();
    QCoro::waitFor(model->stopTimer());
    QVERIFY(m_f->server.requests().isEmpty());
    QVERIFY(!model->isLoading());

    model->updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
    model->startElapsedTimer();
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(409, R"({"error":"A timer is already running"})"));
    QCoro::waitFor(model->startTimer(std::nullopt, std::nullopt, std::nullopt));
    QCOMPARE(model->errorMessage(), u"A timer is already running"_s);
    QCOMPARE(model->elapsedTime(), 65);
    QVERIFY(model->isCounting());
    QVERIFY(!model->isLoading());
}

void tst_TimerViewModel::tickAndResynchronise() {
    auto model = settledModel();
    m_f->server.on("GET", u"/time-entries/current"_s,
                   FakeResponse::json(200, "{\"timeEntry\":" + entry("e1", true, "2025-03-01T10:02:05Z") + "}"));
    QCoro::waitFor(model->loadCurrentEntry());
    QCOMPARE(model->elapsedTime(), 0); // a start one minute ahead counts from 0
    QTRY_COMPARE_WITH_TIMEOUT(model->elapsedTime(), 1, 1500);

    Clock::setFixedNow(now.addSecs(3600));
    QCoro::waitFor(model->loadCurrentEntry());
    QCOMPARE(model->elapsedTime(), 3540);
    QCOMPARE(model->formattedElapsedTime(), u"59:00"_s);

    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, R"({"timeEntry":null})"));
    QCoro::waitFor(model->loadCurrentEntry());
    QVERIFY(!model->currentEntry());
    QCOMPARE(model->elapsedTime(), 0);
    QVERIFY(!model->isCounting());
    QVERIFY(m_f->lines.lines().contains(u"⏹️ No running timer found"_s));
}

void tst_TimerViewModel::startTimeForms_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<qint64>("elapsed");
    QTest::newRow("milliseconds") << u"2025-03-01T10:00:00.500Z"_s << qint64(64);
    QTest::newRow("whole seconds") << u"2025-03-01T10:00:00Z"_s << qint64(65);
    QTest::newRow("microseconds") << u"2025-03-01T10:00:00.123456Z"_s << qint64(64);
    QTest::newRow("numeric offset") << u"2025-03-01T12:00:00.000+02:00"_s << qint64(0);
}

void tst_TimerViewModel::startTimeForms() {
    QFETCH(QString, start);
    QFETCH(qint64, elapsed);
    auto model = settledModel();
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, timer(entry("e2", true, start.toUtf8()))));
    QCoro::waitFor(model->startTimer(std::nullopt, std::nullopt, std::nullopt));
    QCOMPARE(model->elapsedTime(), elapsed);
    QVERIFY(model->isCounting());
    QCOMPARE(m_f->lines.lines().contains(u"❌ Failed to parse start time: "_s + start), elapsed == 0);
}

void tst_TimerViewModel::failingLoadsKeepOldData() {
    auto model = settledModel();
    m_f->server.on("GET", u"/tasks"_s, FakeResponse::json(200, R"({"tasks":[{"id":"t1","name":"A","isCompleted":false}]})"));
    QCoro::waitFor(model->loadTasks(u"p1"_s));
    QCOMPARE(m_f->server.requestLines().last(), u"GET /tasks?projectId=p1&isCompleted=false"_s);
    m_f->server.on("GET", u"/tasks"_s, FakeResponse::json(500, {}));
    m_f->server.on("GET", u"/projects"_s, FakeResponse::json(500, {}));
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::dropped());
    model->updateElapsedTime(u"2025-03-01T10:00:00Z"_s);
    model->startElapsedTimer();
    QCoro::waitFor(model->loadTasks(u"p2"_s));
    QCoro::waitFor(model->loadProjects());
    QCoro::waitFor(model->loadCurrentEntry());
    QCOMPARE(model->tasks().size(), 1);
    QCOMPARE(model->projects().size(), 2);
    QVERIFY(model->isCounting());
    QVERIFY(!model->errorMessage());
    QCOMPARE(m_f->lines.lines().filter(u"Error loading"_s).size(), 3);
    QVERIFY(m_f->lines.lines().contains(u"Error loading tasks: serverError"_s));
    QVERIFY(m_f->lines.lines().contains(u"❌ Error loading projects: serverError"_s));
}

void tst_TimerViewModel::lookups() {
    auto model = settledModel();
    TimeEntry bare;
    QCOMPARE(model->projectName(bare), u"No Project"_s);
    bare.projectId = u"p1"_s;
    QCOMPARE(model->projectName(bare), u"Web"_s);
    QCOMPARE(model->entryColor(bare), QColor(0x10, 0xB9, 0x81));
    bare.projectId = u"gone"_s;
    QCOMPARE(model->projectName(bare), u"No Project"_s);
    QCOMPARE(model->entryColor(bare), standardGrey());
    QCOMPARE(model->projectColor(u"p2"_s), standardGrey()); // not valid hex
    QCOMPARE(model->projectColor(std::nullopt), standardGrey());
    bare.project = TimeEntryProject{u"p9"_s, u"Embedded"_s, std::nullopt};
    QCOMPARE(model->projectName(bare), u"Embedded"_s);
    QCOMPARE(model->entryColor(bare), standardGrey()); // no colour: falls through to projectId "gone"
    bare.project->color = u"#fff"_s;
    QCOMPARE(model->entryColor(bare), QColor(Qt::white));
}

void tst_TimerViewModel::formattedElapsedTime_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << now.toString(Qt::ISODate) << u"00:00"_s;
    QTest::newRow("59") << now.addSecs(-59).toString(Qt::ISODate) << u"00:59"_s;
    QTest::newRow("3599") << now.addSecs(-3599).toString(Qt::ISODate) << u"59:59"_s;
    QTest::newRow("3600") << now.addSecs(-3600).toString(Qt::ISODate) << u"01:00:00"_s;
    QTest::newRow("360000") << now.addSecs(-360000).toString(Qt::ISODate) << u"100:00:00"_s;
}

void tst_TimerViewModel::formattedElapsedTime() {
    QFETCH(QString, start);
    QFETCH(QString, text);
    TimerViewModel model(&m_f->client);
    model.updateElapsedTime(start);
    QCOMPARE(model.formattedElapsedTime(), text);
}

void tst_TimerViewModel::overlappingLoadsApplyTheirOwnOutcome() {
    auto model = settledModel();
    m_f->server.enqueue("GET", u"/time-entries/current"_s,
                        FakeResponse::json(200, "{\"timeEntry\":" + entry("slow", true) + "}", 300));
    m_f->server.enqueue("GET", u"/time-entries/current"_s,
                        FakeResponse::json(200, "{\"timeEntry\":" + entry("fast", false) + "}"));
    auto first = model->loadCurrentEntry();
    QVERIFY(m_f->server.waitForRequests(1));
    QCoro::waitFor(model->loadCurrentEntry());
    QCOMPARE(model->currentEntry()->id, u"fast"_s);
    QCoro::waitFor(first);
    QCOMPARE(model->currentEntry()->id, u"slow"_s); // the last to complete wins
    QVERIFY(model->isCounting());
}

void tst_TimerViewModel::windowFocusReloadsTheCurrentEntry() {
    auto model = settledModel();
    QWindow window;
    window.show();
    window.requestActivate();
    QTRY_VERIFY(m_f->server.requestLines().contains(u"GET /time-entries/current"_s));
}

void tst_TimerViewModel::destroyedDuringARefresh() {
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, "{\"timeEntry\":" + entry("e1", true) + "}", 100));
    auto* model = new TimerViewModel(&m_f->client);
    QVERIFY(m_f->server.waitForRequests(1));
    delete model;
    QTest::qWait(250);
    QCOMPARE(m_f->server.requests().size(), 1);
}

QTEST_MAIN(tst_TimerViewModel)
#include "tst_timerviewmodel.moc"
