#include "Json.h"
#include "TestSupport.h"

#include "state/AuthViewModel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray userBody = json::user();
const QByteArray authBody = json::auth("fresh");

} // namespace

class tst_AuthViewModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void restoreSession_data();
    void restoreSession();
    void signIn_data();
    void signIn();
    void logoutDuringAnOutstandingSignIn();
    void refreshChangesNoField();
    void destroyedWhileSigningIn();

private:
    std::unique_ptr<ClientFixture> m_f;
};

void tst_AuthViewModel::init() {
    m_f = std::make_unique<ClientFixture>();
}

void tst_AuthViewModel::cleanup() {
    m_f.reset();
}

void tst_AuthViewModel::restoreSession_data() {
    QTest::addColumn<QList<int>>("meStatuses");
    QTest::addColumn<int>("refreshStatus");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<std::optional<QString>>("storedToken");
    const QString me = u"GET /auth/me"_s;
    const QString refresh = u"POST /auth/refresh"_s;
    QTest::newRow("accepted") << QList<int>{200} << 0 << QStringList{me} << true << std::optional<QString>(u"old"_s);
    QTest::newRow("500, refresh, 200") << QList<int>{500, 200} << 200 << QStringList{me, refresh, me} << true
                                       << std::optional<QString>(u"new"_s);
    QTest::newRow("401, refresh fails") << QList<int>{401} << 401 << QStringList{me, refresh} << false
                                        << std::optional<QString>();
    QTest::newRow("500, refresh, 500") << QList<int>{500, 500} << 200 << QStringList{me, refresh, me} << false
                                       << std::optional<QString>();
}

void tst_AuthViewModel::restoreSession() {
    QFETCH(QList<int>, meStatuses);
    QFETCH(int, refreshStatus);
    QFETCH(QStringList, requests);
    QFETCH(bool, signedIn);
    QFETCH(std::optional<QString>, storedToken);
    m_f->client.setAuthToken(u"old"_s);
    for (int status : meStatuses) {
        m_f->server.enqueue("GET", u"/auth/me"_s, FakeResponse::json(status, status == 200 ? userBody : QByteArray()));
    }
    m_f->server.on("POST", u"/auth/refresh"_s, FakeResponse::json(refreshStatus, R"({"message":"ok","token":"new"})"));

    AuthViewModel auth(&m_f->client);
    SignalLog log(&auth);
    QVERIFY(m_f->server.requests().isEmpty()); // creation only schedules the restore
    // The restore ends by signing in, or by signing out, which clears the error last.
    const QString last = signedIn ? u"isAuthenticatedChanged"_s : u"errorMessageChanged"_s;
    QTRY_VERIFY(!log.names().isEmpty() && log.names().last() == last);
    QCOMPARE(m_f->server.requestLines(), requests);
    QCOMPARE(auth.isAuthenticated(), signedIn);
    QCOMPARE(auth.currentUser().has_value(), signedIn);
    QCOMPARE(m_f->home.storedToken(), storedToken);
    QVERIFY(!auth.errorMessage());
    QCOMPARE(log.count(u"isLoadingChanged"_s), 0);
    if (signedIn) {
        QCOMPARE(log.names(), (QStringList{u"currentUserChanged"_s, u"isAuthenticatedChanged"_s}));
        QCOMPARE(m_f->server.requests().last().header("Authorization"), "Bearer " + storedToken->toUtf8());
    }
    if (meStatuses.first() == 401) {
        QVERIFY(!m_f->server.requests().at(1).hasHeader("Authorization"));
    }
}

void tst_AuthViewModel::signIn_data() {
    QTest::addColumn<bool>("registering");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error"); // empty: signed in
    QTest::newRow("login ok") << false << 200 << authBody << QString();
    QTest::newRow("register ok") << true << 201 << authBody << QString();
    QTest::newRow("login 401") << false << 401 << QByteArray() << u"Unauthorized - please log in again"_s;
    QTest::newRow("login 400 with error") << false << 400 << QByteArray(R"({"error":"Invalid email","message":"x"})")
                                          << u"Invalid email"_s;
    QTest::newRow("register 409") << true << 409 << QByteArray(R"({"error":"Email is already registered"})")
                                  << u"Email is already registered"_s;
    QTest::newRow("login 500") << false << 500 << QByteArray() << u"Server error - please try again later"_s;
    QTest::newRow("login answer unreadable")
        << false << 200 << QByteArray(R"({"token":"t"})") << u"Data parsing error: user: missing"_s;
}

void tst_AuthViewModel::signIn() {
    QFETCH(bool, registering);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);
    const QString path = registering ? u"/auth/register"_s : u"/auth/login"_s;
    m_f->server.on("POST", path, FakeResponse::json(status, body));
    AuthViewModel auth(&m_f->client);
    SignalLog log(&auth);
    if (registering) {
        QCoro::waitFor(auth.registerAccount(u"Ada"_s, u" Ada@X.io "_s, u"secret"_s, std::nullopt, std::nullopt));
    } else {
        QCoro::waitFor(auth.login(u" Ada@X.io "_s, u"pw"_s));
    }
    const QJsonObject sent = QJsonDocument::fromJson(m_f->server.requests().at(0).body).object();
    QCOMPARE(sent.value(u"email").toString(), u" Ada@X.io "_s);
    QCOMPARE(sent.keys(),
             registering ? (QStringList{u"email"_s, u"name"_s, u"password"_s}) : (QStringList{u"email"_s, u"password"_s}));
    QVERIFY(!auth.isLoading());
    QCOMPARE(auth.isAuthenticated(), error.isEmpty());
    QCOMPARE(auth.errorMessage().value_or(QString()), error);
    QCOMPARE(m_f->home.storedToken(), error.isEmpty() ? std::optional<QString>(u"fresh"_s) : std::nullopt);
    const QStringList start{u"isLoadingChanged"_s, u"errorMessageChanged"_s};
    QCOMPARE(log.names(),
             start + (error.isEmpty()
                          ? QStringList{u"currentUserChanged"_s, u"isAuthenticatedChanged"_s, u"isLoadingChanged"_s}
                          : QStringList{u"errorMessageChanged"_s, u"isAuthenticatedChanged"_s, u"isLoadingChanged"_s}));
}

void tst_AuthViewModel::logoutDuringAnOutstandingSignIn() {
    m_f->server.on("POST", u"/auth/login"_s, FakeResponse::heldBack(200, authBody));
    AuthViewModel auth(&m_f->client);
    auto pending = auth.login(u"a@x.io"_s, u"pw"_s);
    QVERIFY(m_f->server.waitForRequests(1));
    auth.logout();
    QVERIFY(auth.isLoading());
    QVERIFY(!auth.isAuthenticated());
    m_f->server.release();
    QCoro::waitFor(pending);
    QVERIFY(!auth.isLoading());
    QVERIFY(auth.isAuthenticated()); // the late success signs back in
    QCOMPARE(m_f->home.storedToken(), u"fresh"_s);
}

void tst_AuthViewModel::refreshChangesNoField() {
    m_f->client.setAuthToken(u"old"_s);
    m_f->server.on("GET", u"/auth/me"_s, FakeResponse::json(200, userBody));
    m_f->server.on("POST", u"/auth/refresh"_s, FakeResponse::json(200, R"({"message":"ok","token":"new"})"));
    AuthViewModel auth(&m_f->client);
    QTRY_VERIFY(auth.isAuthenticated());
    SignalLog log(&auth);
    QVERIFY(QCoro::waitFor(auth.refreshToken()));
    QVERIFY(log.names().isEmpty());
    QCOMPARE(m_f->home.storedToken(), u"new"_s);
    QCOMPARE(m_f->server.requests().last().header("Authorization"), QByteArray("Bearer old"));
}

void tst_AuthViewModel::destroyedWhileSigningIn() {
    m_f->server.on("POST", u"/auth/login"_s, FakeResponse::heldBack(200, authBody));
    auto* auth = new AuthViewModel(&m_f->client);
    auth->login(u"a@x.io"_s, u"pw"_s);
    QVERIFY(m_f->server.waitForRequests(1));
    delete auth;
    QSignalSpy answered(m_f->client.findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished);
    m_f->server.release(); // the answer arrives after the object is gone
    QVERIFY(answered.wait());
    QVERIFY(!m_f->home.storedToken());
}

QTEST_GUILESS_MAIN(tst_AuthViewModel)
#include "tst_authviewmodel.moc"
