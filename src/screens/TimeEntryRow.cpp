#include "TimeEntryRow.h"

#include "records/Formatting.h"
#include "records/Timestamp.h"
#include "state/TimerViewModel.h"
#include "ui/CardFrame.h"
#include "ui/ElidedLabel.h"
#include "ui/Labels.h"
#include "ui/PulsingDot.h"
#include "ui/Schedule.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvo {

namespace {

CardFrame::Look boxLook(bool running) {
    const QColor border =
        running ? Theme::withOpacity(Theme::accentGreen(), 0.5) : Theme::hairline();
    return {Qt::transparent, 8, border, 0.5, 12};
}

} // namespace

TimeEntryRow::TimeEntryRow(TimerViewModel* timer, const TimeEntry& entry, QWidget* parent)
    : QWidget(parent)
    , m_timer(timer)
    , m_box(new CardFrame(boxLook(false)))
    , m_dot(new PulsingDot(8, Theme::appBackground())) {
    m_project = new ElidedLabel(Theme::font(Theme::TextStyle::headline), Theme::primaryText());
    m_project->setObjectName(QStringLiteral("entryProject"));
    m_task = new ElidedLabel(Theme::font(Theme::TextStyle::subheadline), Theme::secondaryText());
    m_task->setObjectName(QStringLiteral("entryTask"));
    m_duration =
        makeLabel(QStringLiteral("entryDuration"), {},
                  Theme::font(Theme::TextStyle::headline, QFont::Medium), Theme::primaryText());
    m_description =
        new ElidedLabel(Theme::font(Theme::TextStyle::subheadline), Theme::secondaryText());
    m_description->setObjectName(QStringLiteral("entryDescription"));
    m_day = makeLabel(QStringLiteral("entryDay"), {}, Theme::font(Theme::TextStyle::caption),
                      Theme::secondaryText());
    m_restart = new SymbolButton(QStringLiteral("play.circle.fill"), Theme::accentGreen(),
                                 Theme::pixelSize(Theme::TextStyle::title2));
    m_restart->setObjectName(QStringLiteral("restartButton"));
    m_restart->setToolTip(QStringLiteral("Restart this timer"));
    m_dot->setObjectName(QStringLiteral("entryDot"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_dot);
    top->addWidget(m_project);
    top->addWidget(m_task);
    top->addStretch();
    top->addWidget(m_duration);
    auto* box = new QVBoxLayout(m_box);
    box->setContentsMargins(16, 16, 16, 16);
    box->setSpacing(4);
    box->addLayout(top);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(m_description, 1);
    bottom->addWidget(m_day, 0, Qt::AlignRight | Qt::AlignBottom);
    box->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_box, 1);
    layout->addWidget(m_restart);

    connect(m_restart, &SymbolButton::clicked, this, [this] {
        schedule(m_timer, [timer = m_timer, entry = m_entry] { timer->restartEntry(entry); });
    });
    connect(m_timer, &TimerViewModel::currentEntryChanged, this,
            &TimeEntryRow::updateRestartButton);
    connect(m_timer, &TimerViewModel::projectsChanged, this, [this] { setEntry(m_entry); });
    setEntry(entry);
    updateRestartButton();
}

void TimeEntryRow::setEntry(const TimeEntry& entry) {
    m_entry = entry;
    m_dot->setColor(m_timer->entryColor(entry));
    m_project->setText(m_timer->projectName(entry));
    m_task->setText(entry.task ? entry.task->name : QString());
    m_task->setVisible(entry.task.has_value());
    m_restart->setAccessibleName(
        QStringLiteral("Restart ") + m_project->text() +
        (entry.task ? QStringLiteral(" · ") + entry.task->name : QString()));
    m_duration->setText(entry.formattedDuration(m_timer->clock()->now()));
    m_duration->setVisible(!entry.isRunning);
    const bool described = entry.description && !entry.description->isEmpty();
    m_description->setText(described ? *entry.description : QString());
    m_description->setVisible(described);
    // Under a heading of "Today", an older entry says which day it was.
    const QDateTime now = m_timer->clock()->now().toLocalTime();
    const auto start = Timestamp::parseInternetDateTime(entry.startTime);
    m_day->setText(start ? dayCaption(start->toLocalTime().date(), now.date()) : QString());
    m_day->setVisible(!m_day->text().isEmpty());
    // Rows of the same project and task share a name; what was done and for how long tell them
    // apart when read out.
    m_restart->setAccessibleDescription(
        QStringLiteral("Restart this timer: ") +
        (described ? *entry.description + QStringLiteral(", ") : QString()) + m_duration->text() +
        (m_day->text().isEmpty() ? QString() : QStringLiteral(", ") + m_day->text()));
    m_box->setLook(boxLook(entry.isRunning));
    // Also while the window is hidden: an entry stopped from the tray must not come back with a
    // dot that still pulses, or that stays dimmed.
    m_dot->setPulsing(entry.isRunning);
}

bool TimeEntryRow::isBlinking() const {
    return m_dot->isPulsing();
}

void TimeEntryRow::updateRestartButton() {
    m_restart->setVisible(!m_timer->isTimerRunning());
}

} // namespace kelvo
