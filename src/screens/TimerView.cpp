#include "TimerView.h"

#include "ui/Alerts.h"
#include "ui/LiveFigure.h"

#include "records/Formatting.h"
#include "state/AwayWatch.h"
#include "state/TimerViewModel.h"
#include "ui/Appearance.h"
#include "ui/CircleButton.h"
#include "ui/ElidedLabel.h"
#include "ui/FieldEdit.h"
#include "ui/Labels.h"
#include "ui/LinkButton.h"
#include "ui/PillButton.h"
#include "ui/PullDownButton.h"
#include "ui/Schedule.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QHBoxLayout>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>

namespace kelvo {

namespace {

QIcon dotIcon(const QColor& color) {
    QPixmap pixmap(8, 8);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(pixmap.rect());
    return QIcon(pixmap);
}

// The name of the element of `list` with `id`, or `fallback` when none has it.
template <class List>
QString nameById(const List& list, const QString& id, const QString& fallback) {
    const auto it =
        std::find_if(list.begin(), list.end(), [&id](const auto& item) { return item.id == id; });
    return it != list.end() ? it->name : fallback;
}

std::optional<QString> unlessEmpty(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

} // namespace

TimerView::TimerView(TimerViewModel* timer, std::function<void()> onRefresh,
                     std::function<void()> onSettings, QWidget* parent)
    : QWidget(parent)
    , m_timer(timer)
    , m_onRefresh(std::move(onRefresh))
    , m_onSettings(std::move(onSettings)) {
    m_error = makeLabel(QStringLiteral("timerError"), {}, Theme::font(Theme::TextStyle::caption),
                        Theme::accentRed());
    m_error->setAlignment(Qt::AlignHCenter);
    m_error->setWordWrap(true);
    Alerts::mark(m_error);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(m_runningFace = buildRunningFace());
    layout->addWidget(m_idleFace = buildIdleFace());
    layout->addWidget(m_noProjects = buildNoProjects());
    layout->addWidget(m_awayLine = buildAwayLine());
    layout->addWidget(m_error);

    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &TimerView::updateFace);
    connect(m_timer, &TimerViewModel::elapsedTimeChanged, this, &TimerView::updateCounter);
    connect(m_timer, &TimerViewModel::projectsChanged, this, &TimerView::updateChoices);
    connect(m_timer, &TimerViewModel::tasksChanged, this, &TimerView::updateChoices);
    connect(m_timer, &TimerViewModel::errorMessageChanged, this, &TimerView::updateError);
    connect(m_timer, &TimerViewModel::isLoadingChanged, this, [this] {
        if (m_timer->isLoading() && m_stop->hasFocus()) {
            m_focusNext = m_stop; // the focus comes back once the stop is decided
        }
        m_stop->setEnabled(!m_timer->isLoading());
        passFocus();
    });
    new Appearance(this, [this] { preselectProject(); });
    updateFace();
    updateChoices();
    updateError();
}

QWidget* TimerView::buildRunningFace() {
    auto* face = new QWidget;
    face->setObjectName(QStringLiteral("runningFace"));
    m_projectName =
        new ElidedLabel(Theme::font(Theme::TextStyle::title2, QFont::Bold), Theme::primaryText());
    m_projectName->setObjectName(QStringLiteral("runningProject"));
    m_taskName = new ElidedLabel(Theme::font(Theme::TextStyle::title3), Theme::secondaryText());
    m_taskName->setObjectName(QStringLiteral("runningTask"));
    const int symbolSize = Theme::pixelSize(Theme::TextStyle::title3);
    m_settings = new SymbolButton(QStringLiteral("gearshape"), Theme::primaryText(), symbolSize);
    m_settings->setObjectName(QStringLiteral("settingsButton"));
    m_settings->setAccessibleName(QStringLiteral("Sign out"));
    m_refresh =
        new SymbolButton(QStringLiteral("arrow.clockwise"), Theme::primaryText(), symbolSize);
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_refresh->setAccessibleName(QStringLiteral("Refresh"));
    m_refresh->setAccessibleDescription(
        QStringLiteral("Loads the timer, the earnings and the recent entries again"));
    connect(m_settings, &SymbolButton::clicked, this, [this] { m_onSettings(); });
    connect(m_refresh, &SymbolButton::clicked, this, [this] { m_onRefresh(); });

    auto* names = new QVBoxLayout;
    names->setSpacing(8);
    names->addWidget(m_projectName);
    names->addWidget(m_taskName);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_settings, 0, Qt::AlignHCenter);
    buttons->addWidget(m_refresh, 0, Qt::AlignHCenter);
    auto* header = new QHBoxLayout;
    header->addLayout(names, 1);
    header->addLayout(buttons);

    m_counter = makeLabel(QStringLiteral("counter"), {}, Theme::monospaceFont(36, QFont::Bold),
                          Theme::primaryText());
    // Fixed names: the figures change every second and are read on request, not announced.
    LiveFigure::mark(m_counter, QStringLiteral("Elapsed time"));
    m_earnings = makeLabel(QStringLiteral("runningEarnings"), {},
                           Theme::font(Theme::TextStyle::title, QFont::Bold), Theme::accentGreen());
    LiveFigure::mark(m_earnings, QStringLiteral("Earned so far"));
    m_stop = new CircleButton(CircleButton::Content::stop, Theme::redFill(), 60);
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_stop->setAccessibleName(QStringLiteral("Stop timer"));
    connect(m_stop, &CircleButton::clicked, this,
            [this] { schedule(this, [this] { stopSequence(); }); });
    auto* figures = new QVBoxLayout;
    figures->setSpacing(8);
    figures->addWidget(m_counter);
    figures->addWidget(m_earnings);
    auto* counterRow = new QHBoxLayout;
    counterRow->addLayout(figures);
    counterRow->addStretch();
    counterRow->addWidget(m_stop, 0, Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(face);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addLayout(header);
    layout->addLayout(counterRow);
    return face;
}

QWidget* TimerView::buildNoProjects() {
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("noProjects"));
    auto* text = makeLabel(QStringLiteral("noProjectsText"),
                           QStringLiteral("No projects yet \u2014 projects are created on the "
                                          "service; press Refresh once there is one"),
                           Theme::font(Theme::TextStyle::caption), Theme::secondaryText());
    text->setAlignment(Qt::AlignHCenter);
    text->setWordWrap(true);
    auto* refresh = new LinkButton(QStringLiteral("Refresh"), Theme::blue());
    refresh->setObjectName(QStringLiteral("noProjectsRefresh"));
    refresh->setFont(Theme::font(Theme::TextStyle::caption));
    connect(refresh, &LinkButton::clicked, this, [this] { m_onRefresh(); });
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(text);
    layout->addWidget(refresh, 0, Qt::AlignHCenter);
    return box;
}

QWidget* TimerView::buildAwayLine() {
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("awayLine"));
    m_awayText = makeLabel(QStringLiteral("awayText"), {}, Theme::font(Theme::TextStyle::caption),
                           Theme::secondaryText());
    m_awayText->setAlignment(Qt::AlignHCenter);
    m_awayText->setWordWrap(true);
    auto* resume = new PillButton(QStringLiteral("play.fill"), QStringLiteral("Resume"),
                                  Theme::greenFill());
    resume->setObjectName(QStringLiteral("awayResume"));
    auto* dismiss = new LinkButton(QStringLiteral("Dismiss"), Theme::blue());
    dismiss->setObjectName(QStringLiteral("awayDismiss"));
    dismiss->setFont(Theme::font(Theme::TextStyle::caption));
    connect(resume, &PillButton::clicked, this, [this] {
        schedule(this, [away = m_away] {
            if (away) {
                away->resume();
            }
        });
    });
    connect(dismiss, &LinkButton::clicked, this, [this] {
        if (m_away) {
            m_away->dismiss();
        }
    });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    buttons->addWidget(resume);
    buttons->addWidget(dismiss);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_awayText);
    layout->addLayout(buttons);
    box->hide();
    return box;
}

void TimerView::setAwayWatch(AwayWatch* away) {
    if (m_away) {
        disconnect(m_away, nullptr, this, nullptr);
    }
    m_away = away;
    if (away) {
        connect(away, &AwayWatch::awayStopChanged, this, &TimerView::updateAwayLine);
    }
    updateAwayLine();
}

void TimerView::updateAwayLine() {
    const bool shown = m_away && m_away->isShown() && !m_timer->isTimerRunning();
    m_awayText->setText(shown ? m_away->line() : QString());
    m_awayLine->setVisible(shown);
}

void TimerView::updateNoProjects() {
    const auto& projects = m_timer->projects();
    const bool none = m_timer->hasLoadedProjects() && !m_timer->isTimerRunning() &&
                      std::none_of(projects.begin(), projects.end(),
                                   [](const Project& project) { return project.isActive; });
    m_noProjects->setVisible(none);
}

QWidget* TimerView::buildIdleFace() {
    auto* face = new QWidget;
    face->setObjectName(QStringLiteral("idleFace"));
    m_projectChooser = new PullDownButton([this](QMenu& menu) { buildProjectMenu(menu); });
    m_projectChooser->setObjectName(QStringLiteral("projectChooser"));
    m_taskChooser = new PullDownButton([this](QMenu& menu) { buildTaskMenu(menu); });
    m_taskChooser->setObjectName(QStringLiteral("taskChooser"));
    m_description = new FieldEdit(QStringLiteral("What are you working on?"));
    m_description->setObjectName(QStringLiteral("descriptionField"));
    m_description->setAccessibleName(QStringLiteral("Description"));
    // The server takes at most 2,000 characters; a character beyond the BMP counts twice here,
    // so the field never lets through what the server would refuse.
    m_description->setMaxLength(2000);
    // Return ends the edit: the field lets go of the keyboard.
    connect(m_description, &QLineEdit::returnPressed, m_description, &QWidget::clearFocus);
    m_start = new CircleButton(CircleButton::Content::play, Theme::greenFill(), 60);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_start->setAccessibleName(QStringLiteral("Start timer"));
    m_start->setAccessibleDescription(
        QStringLiteral("Starts a timer on the chosen project and task, with the description"));
    connect(m_start, &CircleButton::clicked, this, &TimerView::start);

    auto* form = new QVBoxLayout;
    form->setSpacing(10);
    form->addWidget(m_projectChooser);
    form->addWidget(m_taskChooser);
    form->addWidget(m_description);
    auto* layout = new QHBoxLayout(face);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addLayout(form, 1);
    layout->addWidget(m_start, 0, Qt::AlignVCenter);
    return face;
}

void TimerView::setRotationDegrees(qreal degrees) {
    m_refresh->setRotation(degrees);
}

void TimerView::setRefreshing(bool refreshing) {
    m_refresh->setEnabled(!refreshing);
}

void TimerView::updateFace() {
    const bool running = m_timer->isTimerRunning();
    // The focus goes with the faces: on the stop button once a timer starts, on the start button
    // (or the project chooser) once it stops. A screen reader speaks the newly focused button.
    QWidget* focused = QApplication::focusWidget();
    QWidget* leaving = running ? m_idleFace : m_runningFace;
    const bool focusLeaves =
        leaving->isVisible() && ((focused && leaving->isAncestorOf(focused)) ||
                                 (m_focusNext && leaving->isAncestorOf(m_focusNext)));
    m_runningFace->setVisible(running);
    m_idleFace->setVisible(!running);
    updateNoProjects();
    updateAwayLine();
    if (focusLeaves) {
        m_focusNext = running                ? static_cast<QWidget*>(m_stop)
                      : m_start->isEnabled() ? static_cast<QWidget*>(m_start)
                                             : m_projectChooser;
    }
    m_stop->setEnabled(!m_timer->isLoading());
    passFocus();
    if (running) {
        const TimeEntry& entry = *m_timer->currentEntry();
        m_projectName->setText(
            m_timer->projectName(entry, TimerViewModel::ProjectLookup::embeddedOnly));
        m_taskName->setText(entry.task ? entry.task->name : QStringLiteral("No Task"));
        m_stop->setAccessibleDescription(QStringLiteral("Stops the timer on ") +
                                         m_projectName->text() + QStringLiteral(" · ") +
                                         m_taskName->text());
        updateCounter();
    }
}

void TimerView::passFocus() {
    // A button turned off while its timer loads takes the focus once it is on again.
    if (m_focusNext && m_focusNext->isEnabled() && m_focusNext->isVisible()) {
        std::exchange(m_focusNext, nullptr)->setFocus(Qt::OtherFocusReason);
    }
}

void TimerView::updateCounter() {
    if (!m_timer->isTimerRunning()) {
        return;
    }
    LiveFigure::show(m_counter, m_timer->formattedElapsedTime());
    const auto earned = m_timer->runningEarnings(TimerViewModel::RateRule::positiveRate);
    m_earnings->setVisible(earned.has_value());
    if (earned) {
        LiveFigure::show(m_earnings, moneyText(*earned));
    }
}

void TimerView::updateChoices() {
    if (m_selectedProjectId.isEmpty()) {
        m_projectChooser->setLabel(QStringLiteral("Project"), std::nullopt, true);
    } else {
        m_projectChooser->setLabel(
            nameById(m_timer->projects(), m_selectedProjectId, QStringLiteral("No Project")),
            m_timer->projectColor(m_selectedProjectId), false);
    }
    if (m_selectedTaskId.isEmpty()) {
        m_taskChooser->setLabel(QStringLiteral("Task"), std::nullopt, true);
    } else {
        m_taskChooser->setLabel(
            nameById(m_timer->tasks(), m_selectedTaskId, QStringLiteral("No Task")), std::nullopt,
            false);
    }
    // Named by what they choose as well as by what they show.
    for (auto [chooser, what, chosen] :
         {std::tuple{m_projectChooser, QStringLiteral("Project"), !m_selectedProjectId.isEmpty()},
          std::tuple{m_taskChooser, QStringLiteral("Task"), !m_selectedTaskId.isEmpty()}}) {
        chooser->setAccessibleName(chosen ? what + QStringLiteral(": ") + chooser->text() : what);
    }
    updateNoProjects();
    m_taskChooser->setEnabled(!m_selectedProjectId.isEmpty() && !m_timer->tasks().isEmpty());
    m_description->setEnabled(!m_selectedProjectId.isEmpty() && !m_selectedTaskId.isEmpty());
    // The start button turned off under the focus (a stop clears the choice): the focus goes to
    // the project chooser, where the next start begins.
    const bool startFocused = m_start->hasFocus();
    m_start->setEnabled(!m_selectedProjectId.isEmpty());
    if (startFocused && !m_start->isEnabled()) {
        m_projectChooser->setFocus(Qt::OtherFocusReason);
    }
}

void TimerView::updateError() {
    const auto& error = m_timer->errorMessage();
    Alerts::show(m_error, error);
}

void TimerView::buildProjectMenu(QMenu& menu) {
    menu.addAction(QStringLiteral("No Project"), this, [this] { chooseProject({}); });
    qsizetype items = 0;
    for (const Project& project : m_timer->projects()) {
        if (items == TimerViewModel::shownChoices) {
            break;
        }
        if (project.isActive) {
            ++items;
            const QString id = project.id;
            menu.addAction(dotIcon(m_timer->projectColor(id)), project.name, this,
                           [this, id] { chooseProject(id); });
        }
    }
}

void TimerView::buildTaskMenu(QMenu& menu) {
    menu.addAction(QStringLiteral("No Task"), this, [this] { chooseTask({}); });
    for (const KelvoTask& task :
         m_timer->tasks().first(std::min(m_timer->tasks().size(), TimerViewModel::shownChoices))) {
        const QString id = task.id;
        menu.addAction(task.name, this, [this, id] { chooseTask(id); });
    }
}

void TimerView::chooseProject(const QString& projectId) {
    m_selectedProjectId = projectId;
    m_selectedTaskId.clear();
    updateChoices();
    schedule(m_timer, [timer = m_timer, projectId] {
        timer->setSelectedProjectId(unlessEmpty(projectId));
        timer->setSelectedTaskId(std::nullopt);
        if (projectId.isEmpty()) {
            timer->setTasks({});
        } else {
            timer->loadTasks(projectId);
        }
    });
}

void TimerView::chooseTask(const QString& taskId) {
    m_selectedTaskId = taskId;
    updateChoices();
}

void TimerView::preselectProject() {
    if (!m_selectedProjectId.isEmpty()) {
        return;
    }
    for (const Project& project : m_timer->projects()) {
        if (project.isActive) {
            m_selectedProjectId = project.id;
            updateChoices();
            schedule(m_timer, [timer = m_timer, id = project.id] {
                timer->setSelectedProjectId(id);
                timer->setSelectedTaskId(std::nullopt);
                timer->loadTasks(id);
            });
            return;
        }
    }
}

void TimerView::start() {
    schedule(m_timer, [timer = m_timer, project = unlessEmpty(m_selectedProjectId),
                       task = unlessEmpty(m_selectedTaskId),
                       description = unlessEmpty(m_description->text())] {
        timer->startTimer(project, task, description);
    });
}

QCoro::Task<void> TimerView::stopSequence() {
    QPointer self(this);
    co_await m_timer->stopTimer();
    if (!self) {
        co_return;
    }
    m_selectedProjectId.clear();
    m_selectedTaskId.clear();
    m_description->clear();
    updateChoices();
}

} // namespace kelvo
