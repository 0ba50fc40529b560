#include "AwayDesk.h"

#include "desktop/IdleMonitor.h"
#include "desktop/LockMonitor.h"
#include "desktop/LogindSession.h"
#include "desktop/Notifier.h"
#include "desktop/SleepMonitor.h"
#include "state/AwayWatch.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString resumeAction = u"resume"_s;
const QString dismissAction = u"dismiss"_s;
} // namespace

AwayDesk::AwayDesk(TimerViewModel* timer, Preferences* preferences, Clock* clock,
                   Notifier* notifier, QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_preferences(preferences)
    , m_notifier(notifier)
    , m_watch(new AwayWatch(timer, preferences, clock, this))
    , m_session(new LogindSession(this))
    , m_idle(new IdleMonitor(m_session, this))
    , m_lock(new LockMonitor(m_session, this))
    , m_sleep(new SleepMonitor(this)) {
    connect(m_idle, &IdleMonitor::idle, m_watch, &AwayWatch::idleFor);
    connect(m_idle, &IdleMonitor::active, m_watch, &AwayWatch::active);
    connect(m_lock, &LockMonitor::lockedChanged, m_watch, &AwayWatch::lockChanged);
    connect(m_sleep, &SleepMonitor::leaving, this, &AwayDesk::leaving);
    connect(m_sleep, &SleepMonitor::resumed, this, [this] {
        m_watch->resumed();
        follow(); // the inhibitor again, while a timer runs
    });
    connect(m_watch, &AwayWatch::back, this, &AwayDesk::tellBack);
    connect(m_watch, &AwayWatch::awayStopChanged, this, &AwayDesk::follow);
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &AwayDesk::follow);
    connect(m_preferences, &Preferences::awayRulesChanged, this, &AwayDesk::follow);
    connect(m_notifier, &Notifier::actionInvoked, this, [this](uint id, const QString& action) {
        if (id != m_notice) {
            return;
        }
        if (action == resumeAction) {
            m_watch->resume();
        } else if (action == dismissAction) {
            m_watch->dismiss();
        }
    });
    follow();
}

void AwayDesk::follow() {
    if (!m_preferences->watchesAway()) {
        m_idle->setThreshold(std::chrono::seconds(0));
        m_sleep->setHolding(false);
        return;
    }
    // Detected only once a rule is on, and then for good.
    if (!std::exchange(m_started, true)) {
        m_idle->start();
        m_lock->start();
        m_sleep->start();
    }
    m_idle->setThreshold(std::chrono::minutes(m_preferences->awayIdleMinutes()));
    m_idle->setNeeded(m_watch->isWatching());
    m_sleep->setHolding(m_preferences->stopsOnSleep() && m_timer->isTimerRunning());
}

QCoro::Task<void> AwayDesk::leaving() {
    QPointer self(this);
    co_await m_watch->leaving();
    // Stopped, or waiting for the server: either way the machine may go.
    if (self) {
        m_sleep->release();
    }
}

void AwayDesk::sessionEnding(std::chrono::milliseconds within) {
    if (!m_preferences->stopsOnSleep() || !m_timer->isTimerRunning()) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(within, &loop, &QEventLoop::quit);
    auto finished = std::make_shared<bool>(false);
    stopAndWake(finished, &loop);
    if (!*finished) {
        loop.exec();
    }
}

QCoro::Task<void> AwayDesk::stopAndWake(std::shared_ptr<bool> finished,
                                        QPointer<QEventLoop> waiting) {
    co_await m_watch->leaving();
    *finished = true;
    if (waiting) {
        waiting->quit();
    }
}

void AwayDesk::tellBack() {
    const auto& stop = m_watch->awayStop();
    if (!stop) {
        return;
    }
    QString title = m_timer->projectName(stop->entry);
    if (stop->entry.task) {
        title += u" · "_s + stop->entry.task->name;
    }
    QPointer self(this);
    m_notifier->show({m_watch->line(), title,
                      {{resumeAction, u"Resume"_s}, {dismissAction, u"Dismiss"_s}}},
                     [self](std::optional<uint> id) {
                         if (self) {
                             self->m_notice = id;
                         }
                     });
}

} // namespace kelvo
