// The away rules, the start reminder and the work hours, against a stand-in server with a clock
// that stands still.
#include "Json.h"
#include "TestSupport.h"

#include "records/WorkHours.h"
#include "state/AwayWatch.h"
#include "state/StartReminder.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {
// A timer started at 09:50 on Saturday 1 March 2025; the test clock says 10:01:05.
const QByteArray running = json::entry("e9", true, "2025-03-01T09:50:00.000Z",
                                       R"(,"projectId":"p1","description":"Notes","project":{"id":"p1","name":"Web"})");
const QByteArray stopped =
    json::entry("e9", false, "2025-03-01T09:50:00.000Z", R"(,"endTime":"2025-03-01T10:01:05.000Z")");
// read: as written back; empty: unreadable
struct WorkHoursRow { QString text, read; QDateTime at; bool within; };
// events: what the desktop says, then minutes later the return
struct RulesRow { int idleMinutes; bool onLock, onSleep; QString events; int stops; QString line; };
} // namespace

class tst_Away : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_f = std::make_unique<ViewFixture>();
        m_f->serveNothingRunning();
        m_f->server.on("POST", u"/time-entries/e9/stop"_s, FakeResponse::json(200, json::timer(stopped)));
        QTRY_VERIFY(!m_f->timer.isRefreshing());
    }
    void cleanup() { m_f.reset(); }
    void workHours_data() {
        QTest::addColumn<WorkHoursRow>("row");
        const auto at = [](int day, int hour, int minute) { return QDateTime(QDate(2025, 3, day), QTime(hour, minute), Qt::UTC); };
        // 3 March 2025 is a Monday.
        QTest::newRow("range, inside") << WorkHoursRow{u"Mon-Fri 09:00-17:00"_s, u"Mon-Fri 09:00-17:00"_s, at(3, 9, 0), true};
        QTest::newRow("range, at the end") << WorkHoursRow{u"Mon-Fri 09:00-17:00"_s, u"Mon-Fri 09:00-17:00"_s, at(7, 17, 0), false};
        QTest::newRow("list, a day off") << WorkHoursRow{u"Mon,Wed,Fri 08:30-12:00"_s, u"Mon,Wed,Fri 08:30-12:00"_s, at(4, 9, 0), false};
        QTest::newRow("past midnight, the morning after") << WorkHoursRow{u"Sat 22:00-06:00"_s, u"Sat 22:00-06:00"_s, at(2, 5, 59), true};
        QTest::newRow("past midnight, the morning before") << WorkHoursRow{u"Sat 22:00-06:00"_s, u"Sat 22:00-06:00"_s, at(1, 5, 0), false};
        QTest::newRow("unknown day") << WorkHoursRow{u"Mon-Fry 09:00-17:00"_s, QString(), at(3, 10, 0), false};
        QTest::newRow("range backwards") << WorkHoursRow{u"Fri-Mon 09:00-17:00"_s, QString(), at(3, 10, 0), false};
        QTest::newRow("empty span") << WorkHoursRow{u"Mon 09:00-09:00"_s, QString(), at(3, 10, 0), false};
        QTest::newRow("no span") << WorkHoursRow{u"Mon-Fri"_s, QString(), at(3, 10, 0), false};
    }
    void workHours() {
        QFETCH(WorkHoursRow, row);
        auto [text, read, at, within] = row;
        const auto hours = WorkHours::parse(text);
        QCOMPARE(hours ? hours->text() : QString(), read);
        QCOMPARE(hours && hours->contains(at), within);
    }
    void rules_data() {
        QTest::addColumn<RulesRow>("row");
        // clang-format off
        QTest::newRow("idle past the minutes") << RulesRow{10, false, false, u"idle"_s, 1, u"Stopped at 10:01 \u2014 away 47 min (the timer counted the first 10)"_s};
        QTest::newRow("idle, rule off") << RulesRow{0, true, true, u"idle"_s, 0, QString()};
        QTest::newRow("lock") << RulesRow{0, true, false, u"lock"_s, 1, u"Stopped at 10:01 \u2014 away 37 min"_s};
        QTest::newRow("lock, rule off") << RulesRow{10, false, true, u"lock"_s, 0, QString()};
        QTest::newRow("sleep") << RulesRow{0, false, true, u"sleep"_s, 1, u"Stopped at 10:01 \u2014 away 37 min"_s};
        QTest::newRow("the session ends, then stays") << RulesRow{0, false, true, u"session"_s, 1, u"Stopped at 10:01 \u2014 away 0 min"_s};
        QTest::newRow("idle, then the lock: one stop") << RulesRow{10, true, false, u"idle lock"_s, 1, u"Stopped at 10:01 \u2014 away 47 min (the timer counted the first 10)"_s};
        // clang-format on
    }
    void rules() {
        QFETCH(RulesRow, row);
        auto [idleMinutes, onLock, onSleep, events, stops, line] = row;
        QVERIFY(m_f->preferences.setAwayIdleMinutes(idleMinutes).has_value());
        QVERIFY(m_f->preferences.setStopsOnLock(onLock).has_value());
        QVERIFY(m_f->preferences.setStopsOnSleep(onSleep).has_value());
        AwayWatch away(&m_f->timer, &m_f->preferences, &m_f->clock);
        QSignalSpy back(&away, &AwayWatch::back);
        m_f->showCurrent(running);
        for (const QString& event : events.split(u' ')) {
            if (event == u"idle") {
                away.idleFor(600);
            } else if (event == u"lock") {
                away.lockChanged(true);
            } else if (event == u"session") {
                QCoro::waitFor(away.sessionEnding());
            } else {
                QCoro::waitFor(away.leaving());
            }
        }
        QTRY_COMPARE(stopRequests(), stops);
        QTRY_COMPARE(m_f->timer.isTimerRunning(), stops == 0);
        if (events != u"session") {
            QCOMPARE(away.line(), QString()); // told once the user is back, not before
        } else {
            QCOMPARE(away.line(), line); // a logout called off: the user never left
        }
        m_f->clock.advance(37 * 60);
        away.active();
        away.lockChanged(false);
        away.resumed();
        QCOMPARE(away.line(), line);
        QCOMPARE(back.size(), stops);
    }
    void resumeStartsItAgain() {
        QVERIFY(m_f->preferences.setStopsOnLock(true).has_value());
        AwayWatch away(&m_f->timer, &m_f->preferences, &m_f->clock);
        m_f->showCurrent(running);
        away.lockChanged(true);
        QTRY_VERIFY(!m_f->timer.isTimerRunning() && !m_f->timer.isLoading()); // the stop is done
        away.lockChanged(false);
        QVERIFY(away.isShown());
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(json::entry("e10", true))));
        QVERIFY(QCoro::waitFor(away.resume()).has_value());
        QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body, QByteArray(R"({"description":"Notes","projectId":"p1"})"));
        QVERIFY(!away.isShown());
    }
    void lockDuringAStart() {
        QVERIFY(m_f->preferences.setStopsOnLock(true).has_value());
        AwayWatch away(&m_f->timer, &m_f->preferences, &m_f->clock);
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::heldBack(201, json::timer(running)));
        auto starting = m_f->timer.startTimer(u"p1"_s, std::nullopt, std::nullopt);
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        away.lockChanged(true); // the stop waits for the start, rather than being turned away
        m_f->server.release();
        QCoro::waitFor(starting);
        QTRY_COMPARE(stopRequests(), 1);
        QTRY_VERIFY(!m_f->timer.isTimerRunning());
    }
    void startReminder_data() {
        QTest::addColumn<QString>("change"); // what keeps the reminder away, if anything
        QTest::addColumn<bool>("due");
        QTest::newRow("due") << QString() << true;
        QTest::newRow("a timer runs") << u"running"_s << false;
        QTest::newRow("not yet the minutes") << u"soon"_s << false;
        QTest::newRow("no input in the last minute") << u"idle"_s << false;
        QTest::newRow("locked") << u"locked"_s << false;
        QTest::newRow("outside the work hours") << u"weekend"_s << false;
        QTest::newRow("signed out") << u"signed out"_s << false;
        QTest::newRow("reminded this hour") << u"again"_s << false;
    }
    void startReminder() {
        QFETCH(QString, change);
        QFETCH(bool, due);
        m_f->clock.set(QDateTime(QDate(2025, 3, 3), QTime(10, 0), Qt::UTC)); // a Monday
        QVERIFY(m_f->preferences.setStartReminderMinutes(15).has_value());
        if (change != u"signed out") {
            QVERIFY(m_f->signIn());
        }
        if (change == u"running") {
            m_f->showCurrent(running);
        }
        AwayWatch away(&m_f->timer, &m_f->preferences, &m_f->clock);
        StartReminder reminder(&m_f->timer, &m_f->auth, &m_f->preferences, &away, &m_f->clock);
        QSignalSpy reminded(&reminder, &StartReminder::due);
        m_f->clock.advance(change == u"soon" ? 14 * 60 : 16 * 60);
        if (change == u"locked") {
            away.lockChanged(true);
        } else if (change == u"weekend") {
            m_f->clock.advance(-2 * 86400);
        } else if (change == u"again") {
            reminder.check(10);
            QCOMPARE(reminded.size(), 1);
            reminded.clear();
            m_f->clock.advance(30 * 60);
        }
        reminder.check(change == u"idle" ? 120 : 10);
        QCOMPARE(reminded.size(), due ? 1 : 0);
    }

private:
    qsizetype stopRequests() const { return m_f->server.requestLines().count(u"POST /time-entries/e9/stop"_s); }

    std::unique_ptr<ViewFixture> m_f;
};

int main(int argc, char** argv) {
    qputenv("TZ", "UTC"); // the lines tell local times
    QApplication app(argc, argv);
    tst_Away test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_away.moc"
