#pragma once

#include "FakeServer.h"
#include "TestClock.h"

#include "api/APIClient.h"
#include "records/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

namespace kelvo::test {

// Points XDG_CONFIG_HOME at a fresh folder for the lifetime of the object, so the token file of
// the user running the tests is never touched.
class TemporaryConfigHome {
public:
    TemporaryConfigHome();
    ~TemporaryConfigHome();
    QString path() const { return m_dir.path(); }
    QString tokenFile() const;
    // The token as stored on disk, or nothing when there is no entry.
    std::optional<QString> storedToken() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Collects the diagnostic lines while it lives.
class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    const QStringList& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

// What most client-side tests share, set up in this order: a private config folder, captured
// diagnostic lines, a fake server, a client pointed at it and a clock that stands still.
struct ClientFixture {
    TemporaryConfigHome home;
    DiagnosticsCapture lines;
    FakeServer server;
    APIClient client{server.baseURL(), &SettingsStore::tokenStore()};
    TestClock clock{QDateTime(QDate(2025, 3, 1), QTime(10, 1, 5), Qt::UTC)};

    // Answers the signed-in user's data: nothing runs, no entries, three projects, earnings.
    void serveNothingRunning();
};

// A client fixture with the two state objects every view reads. Their first loads run once the
// event loop does, so the answers can still be set up after construction.
struct ViewFixture : ClientFixture {
    AuthViewModel auth{&client};
    TimerViewModel timer{&client, &clock};
    Preferences preferences;

    // Figures of their own for a dashboard or a popover, for the view that takes them.
    DashboardViewModel* earnings(DashboardViewModel::ShownBy shownBy = DashboardViewModel::ShownBy::dashboard) {
        return new DashboardViewModel(&client, shownBy);
    }
    // Answers the current-entry query with `entry` ("null": nothing runs) and loads it.
    void showCurrent(const QByteArray& entry);
    // Signs in as Ada; whether that succeeded.
    bool signIn();
};

// A port on this machine where nothing listens (until a test starts a server there).
quint16 closedPort();

// What is wrong with the layout of `root` as shown: a control squeezed below its size hint (a
// clipped text, a squashed field), one that leaves `root` (outside a scroll area), or two that
// overlap. Empty when everything fits.
QStringList layoutFaults(QWidget* root);

// Records, in order, the names of the <field>Changed signals an object emits.
class SignalLog : public QObject {
    Q_OBJECT
public:
    explicit SignalLog(QObject* watched);
    const QStringList& names() const { return m_names; }
    qsizetype count(const QString& name) const { return m_names.count(name); }
    void clear() { m_names.clear(); }

private Q_SLOTS:
    void record();

private:
    QStringList m_names;
};

} // namespace kelvo::test
