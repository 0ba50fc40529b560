#include "AwayDesk.h"

#include "desktop/IdleMonitor.h"
#include "desktop/LockMonitor.h"
#include "desktop/LogindSession.h"
#include "desktop/Notifier.h"
#include "desktop/SleepMonitor.h"
#include "state/AwayWatch.h"
#include "state/Preferences.h"
#include "state/StartReminder.h"
#include "state/TimerViewModel.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString resumeAction = u"resume"_s;
const QString dismissAction = u"dismiss"_s;
const QString startAction = u"start"_s;
const QString laterAction = u"later"_s;
const QString openAction = u"open"_s;
} // namespace

AwayDesk::AwayDesk(TimerViewModel* timer, AuthViewModel* auth, Preferences* preferences,
                   Clock* clock, Notifier* notifier, std::function<void()> openWindow,
                   QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_preferences(preferences)
    , m_notifier(notifier)
    , m_watch(new AwayWatch(timer, preferences, clock, this))
    , m_session(new LogindSession(this))
    , m_idle(new IdleMonitor(m_session, this))
    , m_lock(new LockMonitor(m_session, this))
    , m_sleep(new SleepMonitor(this))
    , m_startReminder(new StartReminder(timer, auth, preferences, m_watch, clock, this))
    , m_minute(new QTimer(this))
    , m_openWindow(std::move(openWindow)) {
    m_minute->setInterval(std::chrono::minutes(1));
    connect(m_minute, &QTimer::timeout, this, &AwayDesk::checkStart);
    connect(m_startReminder, &StartReminder::due, this, &AwayDesk::remindToStart);
    connect(m_preferences, &Preferences::startReminderChanged, this, &AwayDesk::follow);
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
        if (id == m_notice && action == resumeAction) {
            m_watch->resume();
        } else if (id == m_notice && action == dismissAction) {
            m_watch->dismiss();
        } else if (id == m_startNotice && action == startAction && m_offered) {
            m_timer->restartEntry(*m_offered);
        } else if (id == m_startNotice && action == openAction) {
            m_openWindow();
        } else if (id == m_startNotice && action == laterAction) {
            m_startReminder->quietForTheHour();
        }
    });
    follow();
}

void AwayDesk::follow() {
    const bool reminds = m_startReminder->isOn();
    reminds ? m_minute->start() : m_minute->stop();
    if (!m_preferences->watchesAway() && !reminds) {
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
    co_await m_watch->sessionEnding();
    *finished = true;
    if (waiting) {
        waiting->quit();
    }
}

QString AwayDesk::startReminderProblem() const {
    return m_started && m_idle->source() == IdleMonitor::Source::none
               ? u"This desktop does not tell when you are at the machine, so there is no start "
                 "reminder."_s
               : QString();
}

void AwayDesk::checkStart() {
    QPointer self(this);
    m_idle->ask([self](std::optional<qint64> idleMs) {
        if (self && idleMs) {
            self->m_startReminder->check(*idleMs / 1000);
        }
    });
}

void AwayDesk::remindToStart(const std::optional<TimeEntry>& latest) {
    m_offered = latest;
    Notifier::Notice notice{u"No timer running"_s, {}, {{openAction, u"Open Kelvo"_s}}};
    if (latest) {
        QString title = m_timer->projectName(*latest);
        if (latest->task) {
            title += u" \u00b7 "_s + latest->task->name;
        }
        notice = {u"No timer running \u2014 Start "_s + title + u'?', {},
                  {{startAction, u"Start Latest"_s}, {laterAction, u"Not now"_s}}};
    }
    QPointer self(this);
    m_notifier->show(notice, [self](std::optional<uint> id) {
        if (self) {
            self->m_startNotice = id;
        }
    });
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
