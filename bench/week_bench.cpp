// The week and the report with many entries, against a local kelvo-server whose database holds a
// year of them: 5,000 in all, 500 this week and 250 the week before.
//  - `kelvo report` of last week (250 entries, 3 pages) and of the year (5,000), median wall time
//    of 5 runs each (goals: 1 s and 5 s);
//  - the Week view on the offscreen platform with this week's 500 entries: a recount of all of
//    them with the view's update (more than the last page's own entries cost once arrived), and a
//    full paint (goal: 50 ms between them).
#include "BenchServer.h"

#include "api/APIClient.h"
#include "records/Clock.h"
#include "records/Diagnostics.h"
#include "screens/WeekView.h"
#include "settings/SettingsStore.h"
#include "state/Preferences.h"
#include "state/WeekViewModel.h"
#include "ui/DarkStyle.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace kelvo;
using namespace Qt::StringLiterals;

namespace {

QJsonObject post(const QString& url, const QByteArray& body, const QString& token = {}) {
    QProcess curl;
    QStringList arguments{u"-s"_s, u"-H"_s, u"Content-Type: application/json"_s, u"-d"_s,
                          QString::fromUtf8(body), url};
    if (!token.isEmpty()) {
        arguments.prepend(u"Authorization: Bearer "_s + token);
        arguments.prepend(u"-H"_s);
    }
    curl.start(u"curl"_s, arguments);
    curl.waitForFinished(30'000);
    return QJsonDocument::fromJson(curl.readAllStandardOutput()).object();
}

// `count` entries of 20 to 80 minutes, from `first` on, one every `every` seconds.
bool insert(QSqlDatabase& db, const QString& user, const QStringList& projects, int count,
            const QDateTime& first, qint64 every, int& serial) {
    QSqlQuery query(db);
    query.prepare(u"INSERT INTO time_entries (id, user_id, project_id, description, start_ms, "
                  "end_ms, hourly_rate_snapshot, created_at, updated_at) VALUES (?,?,?,?,?,?,?,?,?)"_s);
    for (int i = 0; i < count; ++i, ++serial) {
        const qint64 start = first.toMSecsSinceEpoch() + i * every * 1000;
        const qint64 end = start + (20 + serial % 61) * 60'000;
        for (const QVariant& value :
             {QVariant(u"bench%1"_s.arg(serial)), QVariant(user),
              QVariant(projects.at(serial % projects.size())), QVariant(u"Work item %1"_s.arg(serial)),
              QVariant(start), QVariant(end), QVariant(40.0 + serial % 7 * 7.5), QVariant(start),
              QVariant(end)}) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            return false;
        }
    }
    return true;
}

// The median wall time of 5 runs (after one to warm the caches); `rows` the lines each printed.
double medianMs(const QStringList& arguments, const QProcessEnvironment& environment, qsizetype& rows) {
    QList<double> times;
    for (int i = 0; i < 6; ++i) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(KELVO_BINARY), arguments);
        if (!process.waitForFinished(60'000) || process.exitCode() != 0) {
            std::fprintf(stderr, "kelvo %s failed: %s\n", qPrintable(arguments.join(u' ')),
                         process.readAllStandardError().constData());
            return -1;
        }
        if (i > 0) {
            times.append(double(clock.nsecsElapsed()) / 1e6);
        }
        rows = process.readAllStandardOutput().count('\n');
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DarkStyle::apply(app);
    Diagnostics::setSink([](const QString&) {}); // the figures alone on standard output
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const QString database = dir.filePath(u"bench.sqlite"_s);
    QString token;
    QStringList projects;
    {
        QProcess server;
        const QString url = startKelvoServer(server, database, false);
        token = post(url + u"/auth/register"_s,
                     R"({"name":"Bench","email":"bench@x.io","password":"secret1"})")[u"token"_s].toString();
        for (const char* name : {"Website", "Mobile App", "Internal", "Research", "Support"}) {
            projects.append(post(url + u"/projects"_s, QByteArray(R"({"name":")") + name + R"(","color":"#3B82F6"})", token)[u"project"_s].toObject()[u"id"_s].toString());
        }
        server.terminate();
        server.waitForFinished(10'000);
    }
    const QDate today = QDate::currentDate();
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"seed"_s);
        db.setDatabaseName(database);
        int serial = 0;
        QSqlQuery user(db);
        const bool ok = db.open() && user.exec(u"SELECT id FROM users"_s) && user.next() &&
                        db.transaction() &&
                        insert(db, user.value(0).toString(), projects, 500, monday.startOfDay(), 7 * 86400 / 500, serial) &&
                        insert(db, user.value(0).toString(), projects, 250, monday.addDays(-7).startOfDay(), 7 * 86400 / 250, serial) &&
                        insert(db, user.value(0).toString(), projects, 4250, monday.addDays(-364).startOfDay(), 357 * 86400 / 4250, serial) &&
                        db.commit();
        if (!ok || token.isEmpty()) {
            std::fprintf(stderr, "could not seed the database\n");
            return 1;
        }
    }
    QSqlDatabase::removeDatabase(u"seed"_s);
    QProcess server;
    const QString url = startKelvoServer(server, database, false);
    QDir().mkpath(dir.filePath(u"Kelvo"_s));
    QFile conf(dir.filePath(u"Kelvo/Kelvo.conf"_s));
    if (url.isEmpty() || !conf.open(QIODevice::WriteOnly)) {
        return 1;
    }
    conf.write("[General]\nkelvo_auth_token=" + token.toUtf8() + '\n');
    conf.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, dir.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
    environment.insert(u"KELVO_API_URL"_s, url);
    const QString lastMonday = monday.addDays(-7).toString(Qt::ISODate);
    qsizetype weekRows = 0;
    qsizetype yearRows = 0;
    const double week = medianMs({u"report"_s, u"--from"_s, lastMonday, u"--to"_s,
                                  monday.addDays(-1).toString(Qt::ISODate), u"--format"_s, u"csv"_s},
                                 environment, weekRows);
    const double year = medianMs({u"report"_s, u"--from"_s, monday.addDays(-364).toString(Qt::ISODate),
                                  u"--to"_s, monday.addDays(6).toString(Qt::ISODate), u"--format"_s, u"csv"_s},
                                 environment, yearRows);

    APIClient client(url, &SettingsStore::tokenStore());
    client.setAuthToken(token);
    Preferences preferences;
    (void)preferences.setWeeklyTargetHours(40);
    WeekViewModel model(&client, &preferences, Clock::system());
    WeekView view(&model);
    view.resize(400, 900);
    view.show();
    QCoro::waitFor(model.load());
    // A recount of the whole week, with the view's update, costs at least what the last page's
    // entries do once they have arrived.
    QElapsedTimer clock;
    clock.start();
    model.recount();
    const double lastPageMs = double(clock.nsecsElapsed()) / 1e6;
    const qsizetype counted = model.startingEntries().size();
    QElapsedTimer paint;
    paint.start();
    const QPixmap picture = view.grab();
    const double paintMs = double(paint.nsecsElapsed()) / 1e6;
    server.terminate();
    server.waitForFinished(10'000);

    std::printf("kelvo report, last week (%lld entries)   %8.1f ms (goal <= 1000)\n",
                (long long)weekRows - 1, week);
    std::printf("kelvo report, the year (%lld entries)  %8.1f ms (goal <= 5000)\n",
                (long long)yearRows - 1, year);
    std::printf("Week view, %lld entries: a recount and update %.1f ms, full paint %.1f ms,"
                " together %.1f ms (goal <= 50)\n",
                (long long)counted, lastPageMs, paintMs, lastPageMs + paintMs);
    return week < 0 || year < 0 || weekRows != 251 || yearRows != 5001 || counted != 500 || picture.isNull() ? 1 : 0;
}
