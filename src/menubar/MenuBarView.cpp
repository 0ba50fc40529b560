#include "MenuBarView.h"

#include "MenuBarManager.h"
#include "records/Formatting.h"
#include "screens/OfflineLine.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/AwayWatch.h"
#include "state/TimerViewModel.h"
#include "ui/BorderedButton.h"
#include "ui/Decoration.h"
#include "ui/ElidedLabel.h"
#include "ui/Labels.h"
#include "ui/LiveFigure.h"
#include "ui/PillButton.h"
#include "ui/Schedule.h"
#include "ui/Spinner.h"
#include "ui/SymbolButton.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kelvo {

namespace {

constexpr int refreshIntervalMs = 30'000;

QWidget* divider() {
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::divider());
    line->setPalette(palette);
    return line;
}

// A section: 16 px of margin left and right, 12 above and below, items 8 apart.
QVBoxLayout* sectionLayout(QWidget* section) {
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

QWidget* figureRow(const QString& label, QLabel* amount) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeLabel({}, label, Theme::systemFont(11), Theme::secondaryText()));
    layout->addStretch();
    layout->addWidget(amount);
    return row;
}

// A widget holding `layout`, so that it can be aligned as one piece inside a row.
QWidget* column(QLayout* layout) {
    auto* widget = new QWidget;
    layout->setContentsMargins(0, 0, 0, 0);
    widget->setLayout(layout);
    return widget;
}

} // namespace

MenuBarView::MenuBarView(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                         DashboardViewModel* earnings, MenuBarManager* menuBarManager,
                         QWidget* parent)
    : QWidget(parent)
    , m_timer(timerViewModel)
    , m_auth(authViewModel)
    , m_earnings(earnings)
    , m_manager(menuBarManager) {
    setObjectName(QStringLiteral("menuBarView"));
    setFixedSize(300, 400);
    auto* layout = new QVBoxLayout(this);
    // Inside the 1 px edge that paintEvent draws.
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_signedOut = buildSignedOut());
    layout->addWidget(m_signedIn = buildSignedIn());

    connect(m_auth, &AuthViewModel::isAuthenticatedChanged, this, &MenuBarView::refresh);
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &MenuBarView::refresh);
    connect(m_timer, &TimerViewModel::recentEntriesChanged, this,
            &MenuBarView::refreshCurrentEntry);
    connect(m_timer, &TimerViewModel::projectsChanged, this, &MenuBarView::refreshCurrentEntry);
    connect(m_timer, &TimerViewModel::elapsedTimeChanged, this, &MenuBarView::refreshElapsed);
    connect(m_earnings, &DashboardViewModel::isLoadingChanged, this, &MenuBarView::refreshEarnings);
    connect(m_earnings, &DashboardViewModel::earningsChanged, this, &MenuBarView::refreshEarnings);
    // Whoever started or stopped the timer, the figures shown follow.
    connect(m_timer, &TimerViewModel::actionSucceeded, this, [this] {
        if (isVisible()) {
            reloadEarnings();
        }
    });
    refresh();
}

const std::optional<DashboardEarnings>& MenuBarView::earnings() const {
    return m_earnings->earnings();
}

bool MenuBarView::isLoadingEarnings() const {
    return m_earnings->isLoading();
}

QWidget* MenuBarView::buildSignedOut() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("signedOut"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addStretch();
    auto* symbol = new Decoration(page, QSize(40, 40));
    symbol->setPixmap(
        Symbols::pixmap(QStringLiteral("timer"), Theme::grey(), 40, devicePixelRatioF()));
    symbol->addTo(layout);
    layout->addWidget(makeLabel(QStringLiteral("pleaseLogIn"),
                                QStringLiteral("Please log in to Kelvo"),
                                Theme::font(Theme::TextStyle::headline), Theme::primaryText()),
                      0, Qt::AlignHCenter);
    auto* open = new PillButton({}, QStringLiteral("Open Main Window"), Theme::blueFill());
    open->setObjectName(QStringLiteral("openMainWindowButton"));
    connect(open, &PillButton::clicked, this, &MenuBarView::showMainWindow);
    layout->addWidget(open, 0, Qt::AlignHCenter);
    layout->addStretch();
    return page;
}

QWidget* MenuBarView::buildSignedIn() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("signedIn"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The content is centred in the frame.
    layout->addStretch();
    layout->addWidget(new OfflineLine(m_timer->offlineNotice(), this));
    layout->addWidget(buildHeader());
    layout->addWidget(divider());
    layout->addWidget(buildCurrentEntry());
    layout->addWidget(divider());
    layout->addWidget(buildEarnings());
    layout->addWidget(divider());
    layout->addWidget(buildQuickActions());
    layout->addStretch();
    return page;
}

QWidget* MenuBarView::buildHeader() {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("statusHeader"));
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, Theme::panelBackground());
    header->setPalette(palette);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(16, 12, 16, 12);
    m_headerSymbol = new Decoration(header, QSize(16, 16));
    m_headerText = makeLabel(QStringLiteral("headerText"), {},
                             Theme::font(Theme::TextStyle::headline), Theme::primaryText());
    auto* open =
        new SymbolButton(QStringLiteral("arrow.up.right.square"), Theme::secondaryText(), 14);
    open->setObjectName(QStringLiteral("headerOpenButton"));
    open->setAccessibleName(QStringLiteral("Open main window"));
    connect(open, &SymbolButton::clicked, this, &MenuBarView::showMainWindow);
    m_headerSymbol->addTo(layout);
    layout->addWidget(m_headerText);
    layout->addStretch();
    layout->addWidget(open);
    return header;
}

QWidget* MenuBarView::buildCurrentEntry() {
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);

    m_entryBox = new QWidget;
    m_entryBox->setObjectName(QStringLiteral("entryBox"));
    m_entryProject = new ElidedLabel(Theme::systemFont(14, QFont::Medium), Theme::primaryText());
    m_entryProject->setObjectName(QStringLiteral("entryProject"));
    m_entryTask = new ElidedLabel(Theme::systemFont(12), Theme::secondaryText());
    m_entryTask->setObjectName(QStringLiteral("entryTask"));
    m_entryDescription = new ElidedLabel(Theme::systemFont(11), Theme::secondaryText());
    m_entryDescription->setObjectName(QStringLiteral("entryDescription"));
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_entryProject);
    names->addWidget(m_entryTask);
    names->addWidget(m_entryDescription);
    m_entryElapsed = makeLabel(QStringLiteral("entryElapsed"), {},
                               Theme::monospaceFont(18, QFont::Bold), Theme::primaryText());
    // A fixed name: the time changes every second and is read on request, not announced.
    LiveFigure::mark(m_entryElapsed, QStringLiteral("Elapsed time"));
    m_entryRate =
        makeLabel(QStringLiteral("entryRate"), {}, Theme::systemFont(10), Theme::secondaryText());
    auto* figures = new QVBoxLayout;
    figures->setSpacing(2);
    figures->addWidget(m_entryElapsed, 0, Qt::AlignRight);
    figures->addWidget(m_entryRate, 0, Qt::AlignRight);
    // Both columns keep their natural height, centred on each other; the names give way (and
    // elide) so that the time and the rate always fit together on the right.
    auto* row1 = new QHBoxLayout;
    row1->addWidget(column(names), 1, Qt::AlignVCenter);
    row1->addWidget(column(figures), 0, Qt::AlignVCenter);
    m_stopResume =
        new PillButton(QStringLiteral("stop.fill"), QStringLiteral("Stop"), Theme::redFill());
    m_stopResume->setObjectName(QStringLiteral("stopResumeButton"));
    connect(m_stopResume, &PillButton::clicked, this, [this] {
        if (!m_shownEntry) {
            return;
        }
        // Decided when the task runs: a timer stopped meanwhile is resumed, not stopped again.
        schedule(this, [this, shown = *m_shownEntry] {
            m_timer->isTimerRunning() ? m_timer->stopTimer() : m_timer->restartEntry(shown);
        });
    });
    m_awayText = makeLabel(QStringLiteral("awayText"), {}, Theme::systemFont(11),
                           Theme::secondaryText());
    m_awayText->setAlignment(Qt::AlignHCenter);
    m_awayText->setWordWrap(true);
    m_awayText->hide();
    auto* row2 = new QHBoxLayout;
    row2->addStretch();
    row2->addWidget(m_stopResume);
    row2->addStretch();
    auto* box = new QVBoxLayout(m_entryBox);
    box->setContentsMargins(0, 0, 0, 0);
    box->addLayout(row1);
    box->addWidget(m_awayText);
    box->addLayout(row2);
    layout->addWidget(m_entryBox);

    m_noEntryBox = new QWidget;
    m_noEntryBox->setObjectName(QStringLiteral("noEntryBox"));
    auto* none = new QVBoxLayout(m_noEntryBox);
    none->setContentsMargins(0, 0, 0, 0);
    none->setSpacing(8);
    none->addWidget(makeLabel(QStringLiteral("noActiveTimer"), QStringLiteral("No active timer"),
                              Theme::systemFont(14), Theme::secondaryText()),
                    0, Qt::AlignHCenter);
    m_startLatest = new PillButton(QStringLiteral("play.fill"), QStringLiteral("Start Latest"),
                                   Theme::greenFill());
    m_startLatest->setObjectName(QStringLiteral("startLatestButton"));
    connect(m_startLatest, &PillButton::clicked, this, [this] {
        if (m_shownLatest) {
            schedule(this, [this, latest = *m_shownLatest] {
                m_timer->restartEntry(latest);
            });
        }
    });
    none->addWidget(m_startLatest, 0, Qt::AlignHCenter);
    layout->addWidget(m_noEntryBox, 0, Qt::AlignLeft);
    return section;
}

QWidget* MenuBarView::buildEarnings() {
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    layout->addWidget(makeLabel({}, QStringLiteral("Earnings"),
                                Theme::systemFont(14, QFont::DemiBold), Theme::primaryText()));
    m_loadingRow = new QWidget;
    m_loadingRow->setObjectName(QStringLiteral("earningsLoading"));
    auto* loading = new QHBoxLayout(m_loadingRow);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->addWidget(new Spinner(13, Theme::secondaryText()));
    loading->addWidget(
        makeLabel({}, QStringLiteral("Loading..."), Theme::systemFont(12), Theme::secondaryText()));
    loading->addStretch();

    const auto amount = [](const QString& name, const QColor& color) {
        return makeLabel(name, {}, Theme::systemFont(12, QFont::Medium), color);
    };
    m_currentTimerAmount = amount(QStringLiteral("currentTimerAmount"), Theme::green());
    m_todayAmount = amount(QStringLiteral("todayAmount"), Theme::primaryText());
    m_weekAmount = amount(QStringLiteral("weekAmount"), Theme::primaryText());
    m_figures = new QWidget;
    m_figures->setObjectName(QStringLiteral("earningsFigures"));
    auto* figures = new QVBoxLayout(m_figures);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setSpacing(6);
    figures->addWidget(m_currentTimerRow =
                           figureRow(QStringLiteral("Current Timer:"), m_currentTimerAmount));
    // Hidden until a timer runs; hiding it explicitly keeps it hidden when the page first shows.
    m_currentTimerRow->hide();
    figures->addWidget(figureRow(QStringLiteral("Today:"), m_todayAmount));
    figures->addWidget(figureRow(QStringLiteral("This Week:"), m_weekAmount));

    m_unavailable =
        makeLabel(QStringLiteral("earningsUnavailable"), QStringLiteral("Unable to load earnings"),
                  Theme::systemFont(12), Theme::secondaryText());

    // One of the three shows at a time, in the height of the tallest, so the section keeps its
    // height while the figures reload and nothing below it moves.
    m_earningsStack = new QStackedWidget;
    m_earningsStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (QWidget* page : {m_loadingRow, m_figures, static_cast<QWidget*>(m_unavailable)}) {
        auto* holder = new QWidget;
        auto* top = new QVBoxLayout(holder);
        top->setContentsMargins(0, 0, 0, 0);
        top->addWidget(page);
        top->addStretch();
        m_earningsStack->addWidget(holder);
    }
    layout->addWidget(m_earningsStack);
    return section;
}

QWidget* MenuBarView::buildQuickActions() {
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    layout->addWidget(makeLabel({}, QStringLiteral("Quick Actions"),
                                Theme::systemFont(14, QFont::DemiBold), Theme::primaryText()));
    auto* refreshButton = new BorderedButton(QStringLiteral("Refresh"), 11);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    auto* windowButton = new BorderedButton(QStringLiteral("Main Window"), 11);
    windowButton->setObjectName(QStringLiteral("mainWindowButton"));
    BorderedButton::equalizeWidths({refreshButton, windowButton});
    connect(refreshButton, &BorderedButton::clicked, this,
            [this] { schedule(this, [this] { thenLoadEarnings(m_timer->refreshAllData()); }); });
    connect(windowButton, &BorderedButton::clicked, this, &MenuBarView::showMainWindow);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(refreshButton);
    row->addWidget(windowButton);
    row->addStretch();
    layout->addLayout(row);
    return section;
}

void MenuBarView::refresh() {
    const bool signedIn = m_auth->isAuthenticated();
    m_signedOut->setVisible(!signedIn);
    m_signedIn->setVisible(signedIn);
    refreshHeader();
    refreshCurrentEntry();
    refreshEarnings();
}

void MenuBarView::refreshHeader() {
    const bool running = m_timer->isTimerRunning();
    m_headerSymbol->setPixmap(Symbols::pixmap(
        running ? QStringLiteral("stop.fill") : QStringLiteral("play.fill"),
        running ? Theme::accentRed() : Theme::accentGreen(), 16, devicePixelRatioF()));
    m_headerText->setText(running ? QStringLiteral("Timer Running")
                                  : QStringLiteral("Timer Stopped"));
}

void MenuBarView::refreshCurrentEntry() {
    m_shownEntry = m_timer->currentEntry();
    m_shownLatest = m_timer->latestEntry();
    refreshAwayLine();
    m_entryBox->setVisible(m_shownEntry.has_value());
    m_noEntryBox->setVisible(!m_shownEntry);
    m_startLatest->setVisible(m_shownLatest.has_value());
    if (!m_shownEntry) {
        return;
    }
    const TimeEntry& entry = *m_shownEntry;
    const bool running = m_timer->isTimerRunning();
    m_entryProject->setText(m_timer->projectName(entry));
    const bool hasTask = entry.task && !entry.task->name.isEmpty();
    m_entryTask->setText(hasTask ? entry.task->name : QString());
    m_entryTask->setVisible(hasTask);
    const bool described = entry.description && !entry.description->isEmpty();
    m_entryDescription->setText(described ? *entry.description : QString());
    m_entryDescription->setVisible(described);
    m_entryRate->setVisible(entry.hourlyRateSnapshot.has_value());
    if (entry.hourlyRateSnapshot) {
        m_entryRate->setText(moneyText(*entry.hourlyRateSnapshot) + QStringLiteral("/hr"));
    }
    m_stopResume->setContent(running ? QStringLiteral("stop.fill") : QStringLiteral("play.fill"),
                             running ? QStringLiteral("Stop") : QStringLiteral("Resume"),
                             running ? Theme::redFill() : Theme::greenFill());
    m_stopResume->setAccessibleName(
        running ? QStringLiteral("Stop timer")
                : QStringLiteral("Resume ") + m_entryProject->text() +
                      (hasTask ? QStringLiteral(" · ") + entry.task->name : QString()));
    refreshElapsed();
}

void MenuBarView::setAwayWatch(AwayWatch* away) {
    m_away = away;
    if (away) {
        connect(away, &AwayWatch::awayStopChanged, this, &MenuBarView::refreshAwayLine);
    }
    refreshAwayLine();
}

void MenuBarView::refreshAwayLine() {
    // Above the Resume of the entry it stopped: one Resume, not two.
    const bool shown = m_away && m_away->isShown() && m_shownEntry &&
                       !m_timer->isTimerRunning() &&
                       m_shownEntry->id == m_away->awayStop()->entry.id;
    m_awayText->setText(shown ? m_away->line() : QString());
    m_awayText->setVisible(shown);
}

void MenuBarView::refreshEarnings() {
    const bool loading = m_earnings->isLoading();
    const auto& earnings = m_earnings->earnings();
    QWidget* shown = loading ? m_loadingRow : earnings ? m_figures : m_unavailable;
    m_earningsStack->setCurrentWidget(shown->parentWidget());
    if (earnings) {
        m_todayAmount->setText(moneyText(earnings->today.earnings));
        m_weekAmount->setText(moneyText(earnings->thisWeek.earnings));
    }
    refreshElapsed();
}

void MenuBarView::refreshElapsed() {
    const bool running = m_timer->isTimerRunning();
    // Also while closed: the row decides the height the earnings keep while they reload.
    if (m_currentTimerRow->isHidden() == running) {
        m_currentTimerRow->setVisible(running);
        // A page the stack hides does not pass its new height on by itself.
        m_figures->layout()->invalidate();
        m_figures->parentWidget()->layout()->invalidate();
        m_earningsStack->updateGeometry();
    }
    // The second-by-second figures are worked out only while someone can see them.
    if (!isVisible()) {
        return;
    }
    LiveFigure::show(m_entryElapsed, m_timer->formattedElapsedTime());
    const auto& earnings = m_earnings->earnings();
    if (!running || !earnings) {
        return;
    }
    LiveFigure::show(m_currentTimerAmount,
                     moneyText(m_timer->runningEarnings(TimerViewModel::RateRule::anyRate)
                                   .value_or(earnings->currentTimer.earnings)));
}

void MenuBarView::showMainWindow() {
    if (m_manager->showMainWindowCallback()) {
        m_manager->showMainWindowCallback()();
    }
}

void MenuBarView::startEarningsRefresh() {
    schedule(m_earnings, [earnings = m_earnings] { earnings->loadEarnings(); });
    stopEarningsRefresh();
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(refreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, m_earnings,
            [earnings = m_earnings] { earnings->loadEarnings(); });
    m_refreshTimer->start();
}

void MenuBarView::reloadEarnings() {
    m_earnings->loadEarnings();
}

void MenuBarView::stopEarningsRefresh() {
    delete m_refreshTimer;
    m_refreshTimer = nullptr;
}

QCoro::Task<void> MenuBarView::thenLoadEarnings(QCoro::Task<void> action) {
    QPointer earnings(m_earnings);
    co_await action;
    if (earnings) {
        co_await earnings->loadEarnings();
    }
}

void MenuBarView::showEvent(QShowEvent*) {
    refreshElapsed();
    startEarningsRefresh();
}

void MenuBarView::hideEvent(QHideEvent*) {
    stopEarningsRefresh();
}

void MenuBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::appBackground());
    // The panel's edge, so that it stands out on a dark desktop.
    painter.setPen(Theme::hairline());
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace kelvo
