#include "MenuBarView.h"

#include "MenuBarManager.h"
#include "records/Formatting.h"
#include "state/AuthViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/ElidedLabel.h"
#include "ui/Labels.h"
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
#include <QPushButton>
#include <QTimeZone>
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
    QColor grey = Theme::grey();
    grey.setAlphaF(0.3f);
    palette.setColor(QPalette::Window, grey);
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

QPushButton* borderedButton(const QString& objectName, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setFont(Theme::systemFont(11));
    return button;
}

} // namespace

MenuBarView::MenuBarView(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                         MenuBarManager* menuBarManager, QWidget* parent)
    : QWidget(parent)
    , m_timer(timerViewModel)
    , m_auth(authViewModel)
    , m_manager(menuBarManager) {
    setObjectName(QStringLiteral("menuBarView"));
    setFixedSize(300, 400);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_signedOut = buildSignedOut());
    layout->addWidget(m_signedIn = buildSignedIn());

    connect(m_auth, &AuthViewModel::isAuthenticatedChanged, this, &MenuBarView::refresh);
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &MenuBarView::refresh);
    connect(m_timer, &TimerViewModel::recentEntriesChanged, this,
            &MenuBarView::refreshCurrentEntry);
    connect(m_timer, &TimerViewModel::projectsChanged, this, &MenuBarView::refreshCurrentEntry);
    connect(m_timer, &TimerViewModel::elapsedTimeChanged, this, &MenuBarView::refreshElapsed);
    refresh();
}

QWidget* MenuBarView::buildSignedOut() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("signedOut"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addStretch();
    auto* symbol = new QLabel;
    symbol->setPixmap(
        Symbols::pixmap(QStringLiteral("timer"), Theme::grey(), 40, devicePixelRatioF()));
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(makeLabel(QStringLiteral("pleaseLogIn"),
                                QStringLiteral("Please log in to Kelvo"),
                                Theme::font(Theme::TextStyle::headline), Theme::primaryText()),
                      0, Qt::AlignHCenter);
    auto* open = new QPushButton(QStringLiteral("Open Main Window"));
    open->setObjectName(QStringLiteral("openMainWindowButton"));
    open->setStyleSheet(
        QStringLiteral("QPushButton { background: #0A84FF; color: white; border: none;"
                       " border-radius: 6px; padding: 5px 12px; }"
                       "QPushButton:pressed { background: #0870D8; }"));
    connect(open, &QPushButton::clicked, this, &MenuBarView::showMainWindow);
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
    palette.setColor(QPalette::Window, panelBackground());
    header->setPalette(palette);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(16, 12, 16, 12);
    m_headerSymbol = new QLabel;
    m_headerSymbol->setObjectName(QStringLiteral("headerSymbol"));
    m_headerText = makeLabel(QStringLiteral("headerText"), {},
                             Theme::font(Theme::TextStyle::headline), Theme::primaryText());
    auto* open =
        new SymbolButton(QStringLiteral("arrow.up.right.square"), Theme::secondaryText(), 14);
    open->setObjectName(QStringLiteral("headerOpenButton"));
    connect(open, &SymbolButton::clicked, this, &MenuBarView::showMainWindow);
    layout->addWidget(m_headerSymbol);
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
    m_entryProject = makeLabel(QStringLiteral("entryProject"), {},
                               Theme::systemFont(14, QFont::Medium), Theme::primaryText());
    m_entryTask =
        makeLabel(QStringLiteral("entryTask"), {}, Theme::systemFont(12), Theme::secondaryText());
    m_entryDescription = new ElidedLabel(Theme::systemFont(11), Theme::secondaryText());
    m_entryDescription->setObjectName(QStringLiteral("entryDescription"));
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_entryProject);
    names->addWidget(m_entryTask);
    names->addWidget(m_entryDescription);
    m_entryElapsed = makeLabel(QStringLiteral("entryElapsed"), {},
                               Theme::monospaceFont(18, QFont::Bold), Theme::primaryText());
    m_entryRate =
        makeLabel(QStringLiteral("entryRate"), {}, Theme::systemFont(10), Theme::secondaryText());
    auto* figures = new QVBoxLayout;
    figures->addWidget(m_entryElapsed, 0, Qt::AlignRight);
    figures->addWidget(m_entryRate, 0, Qt::AlignRight);
    auto* row1 = new QHBoxLayout;
    row1->addLayout(names, 1);
    row1->addLayout(figures);
    m_stopResume = new PillButton(QStringLiteral("stop.fill"), QStringLiteral("Stop"), accentRed());
    m_stopResume->setObjectName(QStringLiteral("stopResumeButton"));
    connect(m_stopResume, &PillButton::clicked, this, [this] {
        if (!m_shownEntry) {
            return;
        }
        // Decided when the task runs: a timer stopped meanwhile is resumed, not stopped again.
        schedule(this, [this, shown = *m_shownEntry] {
            thenLoadEarnings(
                m_timer->isTimerRunning()
                    ? m_timer->stopTimer()
                    : m_timer->startTimer(shown.projectId, shown.taskId, shown.description));
        });
    });
    auto* row2 = new QHBoxLayout;
    row2->addStretch();
    row2->addWidget(m_stopResume);
    row2->addStretch();
    auto* box = new QVBoxLayout(m_entryBox);
    box->setContentsMargins(0, 0, 0, 0);
    box->addLayout(row1);
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
    m_startLatest =
        new PillButton(QStringLiteral("play.fill"), QStringLiteral("Start Latest"), accentGreen());
    m_startLatest->setObjectName(QStringLiteral("startLatestButton"));
    connect(m_startLatest, &PillButton::clicked, this, [this] {
        if (!m_timer->recentEntries().isEmpty()) {
            schedule(this, [this, latest = m_timer->recentEntries().first()] {
                thenLoadEarnings(
                    m_timer->startTimer(latest.projectId, latest.taskId, latest.description));
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
    layout->addWidget(m_loadingRow);

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
    figures->addWidget(figureRow(QStringLiteral("Today:"), m_todayAmount));
    figures->addWidget(figureRow(QStringLiteral("This Week:"), m_weekAmount));
    layout->addWidget(m_figures);
    m_figures->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    m_unavailable =
        makeLabel(QStringLiteral("earningsUnavailable"), QStringLiteral("Unable to load earnings"),
                  Theme::systemFont(12), Theme::secondaryText());
    layout->addWidget(m_unavailable);
    return section;
}

QWidget* MenuBarView::buildQuickActions() {
    auto* section = new QWidget;
    auto* layout = sectionLayout(section);
    layout->addWidget(makeLabel({}, QStringLiteral("Quick Actions"),
                                Theme::systemFont(14, QFont::DemiBold), Theme::primaryText()));
    auto* refreshButton =
        borderedButton(QStringLiteral("refreshButton"), QStringLiteral("Refresh"));
    auto* windowButton =
        borderedButton(QStringLiteral("mainWindowButton"), QStringLiteral("Main Window"));
    connect(refreshButton, &QPushButton::clicked, this,
            [this] { schedule(this, [this] { thenLoadEarnings(m_timer->refreshAllData()); }); });
    connect(windowButton, &QPushButton::clicked, this, &MenuBarView::showMainWindow);
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
    m_headerSymbol->setPixmap(
        Symbols::pixmap(running ? QStringLiteral("stop.fill") : QStringLiteral("play.fill"),
                        running ? accentRed() : accentGreen(), 16, devicePixelRatioF()));
    m_headerText->setText(running ? QStringLiteral("Timer Running")
                                  : QStringLiteral("Timer Stopped"));
}

void MenuBarView::refreshCurrentEntry() {
    m_shownEntry = m_timer->currentEntry();
    m_entryBox->setVisible(m_shownEntry.has_value());
    m_noEntryBox->setVisible(!m_shownEntry);
    m_startLatest->setVisible(!m_timer->recentEntries().isEmpty());
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
                             running ? accentRed() : accentGreen());
    refreshElapsed();
}

void MenuBarView::refreshEarnings() {
    m_loadingRow->setVisible(m_isLoadingEarnings);
    m_figures->setVisible(!m_isLoadingEarnings && m_earnings.has_value());
    m_unavailable->setVisible(!m_isLoadingEarnings && !m_earnings);
    if (m_earnings) {
        m_todayAmount->setText(moneyText(m_earnings->today.earnings));
        m_weekAmount->setText(moneyText(m_earnings->thisWeek.earnings));
    }
    refreshElapsed();
}

void MenuBarView::refreshElapsed() {
    // The second-by-second figures are worked out only while someone can see them.
    if (!isVisible()) {
        return;
    }
    m_entryElapsed->setText(m_timer->formattedElapsedTime());
    const bool running = m_timer->isTimerRunning();
    m_currentTimerRow->setVisible(running);
    if (!running || !m_earnings) {
        return;
    }
    const auto rate = m_timer->currentEntry()->hourlyRateSnapshot;
    m_currentTimerAmount->setText(moneyText(rate ? double(m_timer->elapsedTime()) * *rate / 3600.0
                                                 : m_earnings->currentTimer.earnings));
}

void MenuBarView::showMainWindow() {
    if (m_manager->showMainWindowCallback()) {
        m_manager->showMainWindowCallback()();
    }
}

void MenuBarView::startEarningsRefresh() {
    schedule(this, [this] { loadPanelEarnings(); });
    stopEarningsRefresh();
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(refreshIntervalMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] { loadPanelEarnings(); });
    m_refreshTimer->start();
}

void MenuBarView::stopEarningsRefresh() {
    delete m_refreshTimer;
    m_refreshTimer = nullptr;
}

QCoro::Task<void> MenuBarView::loadPanelEarnings() {
    m_isLoadingEarnings = true;
    refreshEarnings();
    QPointer self(this);
    // The machine's zone, as the dashboard sends it, so "Today" is the same figure in both.
    auto result = co_await m_timer->apiClient()->getDashboardEarnings(
        QString::fromUtf8(QTimeZone::systemTimeZoneId()));
    if (!self) {
        co_return;
    }
    if (result) {
        m_earnings = std::move(*result);
    } else {
        Diagnostics::print(QStringLiteral("Error loading earnings: ") +
                           result.error().debugDescription());
    }
    m_isLoadingEarnings = false;
    refreshEarnings();
}

QCoro::Task<void> MenuBarView::thenLoadEarnings(QCoro::Task<void> action) {
    QPointer self(this);
    co_await action;
    if (self) {
        co_await loadPanelEarnings();
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
    QPainter(this).fillRect(rect(), appBackground());
}

} // namespace kelvo
