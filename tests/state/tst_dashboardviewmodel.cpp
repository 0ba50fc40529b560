#include "Json.h"
#include "TestSupport.h"

#include "state/DashboardViewModel.h"

#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {
const QByteArray earnings = json::earnings();
}

class tst_DashboardViewModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadsInTheMachinesZone();
    void failureKeepsTheLastSummary();
    void formatDuration_data();
    void formatDuration();
};

void tst_DashboardViewModel::loadsInTheMachinesZone() {
    ClientFixture f;
    f.server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, earnings));
    DashboardViewModel model(&f.client, DashboardViewModel::ShownBy::dashboard);
    QVERIFY(f.server.requests().isEmpty());
    SignalLog log(&model);
    qputenv("TZ", "Europe/Berlin");
    QCoro::waitFor(model.loadEarnings());
    qputenv("TZ", "America/New_York");
    QCoro::waitFor(model.loadEarnings());
    qunsetenv("TZ");
    QCOMPARE(f.server.requestLines(), (QStringList{u"GET /users/dashboard-earnings?timezone=Europe/Berlin"_s,
                                                   u"GET /users/dashboard-earnings?timezone=America/New_York"_s}));
    QCOMPARE(model.earnings()->today.earnings, 12.5);
    QCOMPARE(log.names().mid(0, 4),
             (QStringList{u"isLoadingChanged"_s, u"errorMessageChanged"_s, u"earningsChanged"_s, u"isLoadingChanged"_s}));
}

void tst_DashboardViewModel::failureKeepsTheLastSummary() {
    ClientFixture f;
    DashboardViewModel model(&f.client, DashboardViewModel::ShownBy::dashboard);
    DashboardViewModel popover(&f.client, DashboardViewModel::ShownBy::popover);
    f.server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(500, {}));
    QCoro::waitFor(model.loadEarnings());
    QCoro::waitFor(popover.loadEarnings());
    QVERIFY(!model.earnings());
    QCOMPARE(model.errorMessage(), u"Server error - please try again later"_s);
    QCOMPARE(f.lines.lines(),
             (QStringList{u"Error loading dashboard earnings: serverError"_s, u"Error loading earnings: serverError"_s}));

    f.server.enqueue("GET", u"/users/dashboard-earnings"_s, FakeResponse::heldBack(200, earnings));
    f.server.enqueue("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(401, {}));
    auto loading = model.loadEarnings();
    QVERIFY(!model.errorMessage()); // cleared before the answer arrives
    QVERIFY(model.isLoading());
    QTRY_COMPARE(f.server.heldCount(), 1);
    f.server.release();
    QCoro::waitFor(loading);
    QCoro::waitFor(model.loadEarnings());
    QCOMPARE(model.errorMessage(), u"Unauthorized - please log in again"_s);
    QCOMPARE(model.earnings()->thisWeek.earnings, 40.0);
    QVERIFY(!model.isLoading());
}

void tst_DashboardViewModel::formatDuration_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    for (auto [seconds, text] : {std::pair{0, "0m"},
                                 {59, "0m"},
                                 {60, "1m"},
                                 {2700, "45m"},
                                 {3599, "59m"},
                                 {3600, "1h 0m"},
                                 {3900, "1h 5m"},
                                 {5400, "1h 30m"},
                                 {90000, "25h 0m"}}) {
        QTest::addRow("%d", seconds) << qint64(seconds) << QString::fromLatin1(text);
    }
}

void tst_DashboardViewModel::formatDuration() {
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(DashboardViewModel::formatDuration(seconds), text);
}

QTEST_GUILESS_MAIN(tst_DashboardViewModel)
#include "tst_dashboardviewmodel.moc"
