#include "DashboardView.h"

#include "ui/Alerts.h"

#include "EarningsCard.h"
#include "LoadingEarningsCard.h"
#include "OfflineLine.h"
#include "TimeEntryRow.h"
#include "TimerView.h"
#include "WeekChart.h"
#include "WeekView.h"
#include "records/Formatting.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"
#include "state/WeekViewModel.h"
#include "ui/Appearance.h"
#include "ui/CardFrame.h"
#include "ui/Labels.h"
#include "ui/LinkButton.h"
#include "ui/Schedule.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kelvo {

namespace {

constexpr int padding = 16;
constexpr int fadeHeight = 20;

QColor background(qreal opacity) {
    return Theme::withOpacity(Theme::appBackground(), opacity);
}

// The band under the timer card that lets the list fade out as it scrolls beneath it.
class Fade : public QWidget {
public:
    explicit Fade(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedHeight(fadeHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0.0, background(0.8));
        gradient.setColorAt(0.5, background(0.4));
        gradient.setColorAt(1.0, background(0.0));
        painter.fillRect(rect(), gradient);
    }
};

QWidget* row(QWidget* first, QWidget* second) {
    auto* widget = new QWidget;
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(first, 1);
    layout->addWidget(second, 1);
    return widget;
}

} // namespace

DashboardView::DashboardView(AuthViewModel* auth, TimerViewModel* timer,
                             DashboardViewModel* earnings, QWidget* parent)
    : QWidget(parent)
    , m_auth(auth)
    , m_timer(timer)
    , m_dashboard(earnings) {
    m_dashboard->setParent(this);
    m_timerView = new TimerView(
        timer, [this] { schedule(this, [this] { refreshSequence(); }); },
        [this] { m_auth->logout(); });
    m_timerCard = new CardFrame({Theme::appBackground(), 12});
    m_timerCard->setObjectName(QStringLiteral("timerCard"));
    auto* cardLayout = new QVBoxLayout(m_timerCard);
    cardLayout->setContentsMargins(padding, padding, padding, padding);
    cardLayout->addWidget(m_timerView);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("dashboardContent"));
    auto* contentLayout = new QVBoxLayout(content);
    // The top of the scrolling area lies under the fade; at rest the first card starts below it.
    contentLayout->setContentsMargins(padding, fadeHeight, padding, padding);
    contentLayout->setSpacing(16);
    contentLayout->addWidget(buildEarningsSection());
    contentLayout->addWidget(buildEntriesSection());
    contentLayout->addStretch();
    m_scroll = new QScrollArea;
    m_scroll->setAccessibleName(QStringLiteral("Earnings and recent entries"));
    m_scroll->setWidget(content);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A slim indicator on a clear track, rather than the full scroll bar of the widget style.
    m_scroll->verticalScrollBar()->setStyleSheet(
        QStringLiteral(
            "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 1px 2px 1px; }"
            "QScrollBar::handle:vertical { background: %1; border-radius: 3px; min-height: 24px; }"
            "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
            .arg(Theme::scrollHandle().name(QColor::HexArgb)));
    m_scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_timerCard);
    layout->addWidget(buildSaveWarning());
    layout->addWidget(new OfflineLine(m_timer->offlineNotice(), this));
    m_pages = new QStackedWidget;
    m_pages->addWidget(m_scroll);
    layout->addWidget(m_pages, 1);
    // Over the top of the scrolling area, fixed while the list moves beneath it.
    m_fade = new Fade(m_scroll);
    m_fade->raise();

    m_turn = new QPropertyAnimation(m_timerView->refreshButton(), "rotation", this);
    m_turn->setDuration(1000);
    m_turn->setStartValue(0.0);
    m_turn->setEndValue(360.0);
    m_turn->setEasingCurve(QEasingCurve::Linear);

    connect(m_dashboard, &DashboardViewModel::isLoadingChanged, this,
            &DashboardView::updateEarnings);
    connect(m_dashboard, &DashboardViewModel::errorMessageChanged, this,
            &DashboardView::updateEarnings);
    connect(m_dashboard, &DashboardViewModel::earningsChanged, this,
            &DashboardView::updateEarnings);
    connect(m_timer, &TimerViewModel::recentEntriesChanged, this, &DashboardView::updateEntries);
    // Whoever started or stopped the timer (the popover, the panel item, the command line), the
    // totals have changed on the server.
    connect(m_timer, &TimerViewModel::actionSucceeded, m_dashboard,
            [dashboard = m_dashboard] { dashboard->loadEarnings(); });
    connect(m_auth, &AuthViewModel::saveWarningChanged, this, &DashboardView::updateSaveWarning);
    connect(m_timer, &TimerViewModel::isRefreshingChanged, this,
            [this] { m_timerView->setRefreshing(m_timer->isRefreshing()); });
    m_timerView->setRefreshing(m_timer->isRefreshing());
    new Appearance(this, [this] { schedule(this, [this] { loadOnAppearance(); }); });
    updateEarnings();
    updateEntries();
    updateSaveWarning();
}

DashboardView::~DashboardView() = default;

QWidget* DashboardView::buildSaveWarning() {
    m_saveWarning = new QWidget;
    m_saveWarning->setObjectName(QStringLiteral("saveWarning"));
    auto* layout = new QHBoxLayout(m_saveWarning);
    layout->setContentsMargins(padding, 8, padding, 0);
    layout->setSpacing(12);
    m_saveWarningText = makeLabel(QStringLiteral("saveWarningText"), {},
                                  Theme::font(Theme::TextStyle::caption), Theme::accentRed());
    m_saveWarningText->setWordWrap(true);
    layout->addWidget(m_saveWarningText, 1);
    auto* dismiss = new LinkButton(QStringLiteral("Dismiss"), Theme::blue());
    dismiss->setObjectName(QStringLiteral("dismissSaveWarning"));
    dismiss->setFont(Theme::font(Theme::TextStyle::caption));
    connect(dismiss, &LinkButton::clicked, m_auth, &AuthViewModel::dismissSaveWarning);
    layout->addWidget(dismiss, 0, Qt::AlignTop);
    return m_saveWarning;
}

void DashboardView::updateSaveWarning() {
    const auto& warning = m_auth->saveWarning();
    // The path in it is not broken after a slash or a hyphen (a word joiner follows each); it
    // is read out as written.
    m_saveWarningText->setText(warning.value_or(QString())
                                   .replace(u'/', QStringLiteral("/\u2060"))
                                   .replace(u'-', QStringLiteral("-\u2060")));
    m_saveWarningText->setAccessibleName(warning.value_or(QString()));
    m_saveWarning->setVisible(warning.has_value());
}

QWidget* DashboardView::buildEarningsSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    m_loadingCards = row(new LoadingEarningsCard(QStringLiteral("Today")),
                         new LoadingEarningsCard(QStringLiteral("This Week")));
    m_loadingCards->setObjectName(QStringLiteral("loadingCards"));
    m_earningsError = makeLabel(QStringLiteral("earningsError"), {},
                                Theme::font(Theme::TextStyle::caption), Theme::accentRed());
    m_earningsError->setWordWrap(true);
    m_earningsError->setAlignment(Qt::AlignHCenter);
    Alerts::mark(m_earningsError);
    m_earningsError->setContentsMargins(padding, padding, padding, padding);
    m_today = new EarningsCard(QStringLiteral("Today"), {}, {});
    m_today->setObjectName(QStringLiteral("todayCard"));
    m_week = new EarningsCard(QStringLiteral("This Week"), {}, {});
    m_week->setObjectName(QStringLiteral("weekCard"));
    m_earningsCards = row(m_today, m_week);
    layout->addWidget(m_loadingCards);
    layout->addWidget(m_earningsError);
    layout->addWidget(m_earningsCards);
    return section;
}

QWidget* DashboardView::buildEntriesSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(makeLabel(QStringLiteral("entriesHeading"), QStringLiteral("Today"),
                                Theme::font(Theme::TextStyle::headline), Theme::primaryText()));
    m_noEntries = makeLabel(QStringLiteral("noEntries"), QStringLiteral("No time entries yet"),
                            Theme::font(Theme::TextStyle::headline), Theme::secondaryText());
    m_noEntries->setAlignment(Qt::AlignHCenter);
    m_noEntries->setContentsMargins(0, 20, 0, 20);
    layout->addWidget(m_noEntries);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(12);
    layout->addLayout(m_rows);
    return section;
}

void DashboardView::updateEarnings() {
    const bool loading = m_dashboard->isLoading();
    const auto& error = m_dashboard->errorMessage();
    m_loadingCards->setVisible(loading);
    Alerts::show(m_earningsError,
                 !loading && error
                     ? std::optional(QStringLiteral("Failed to load earnings: ") + *error)
                     : std::nullopt);
    m_earningsCards->setVisible(!loading && !error);
    const auto& earnings = m_dashboard->earnings();
    m_today->setEarnings(earnings ? moneyText(earnings->today.earnings) : QStringLiteral("$0.00"));
    m_today->setDuration(earnings ? DashboardViewModel::formatDuration(earnings->today.duration)
                                  : QStringLiteral("0h 0m"));
    m_week->setEarnings(earnings ? moneyText(earnings->thisWeek.earnings)
                                 : QStringLiteral("$0.00"));
    m_week->setDuration(earnings ? DashboardViewModel::formatDuration(earnings->thisWeek.duration)
                                 : QStringLiteral("0h 0m"));
    // Each card reads as one sentence: "Today: $72.92 for 1 hour 10 minutes".
    const auto reading = [](const QString& title, const QString& amount, qint64 seconds) {
        return title + QStringLiteral(": ") + amount + QStringLiteral(" for ") +
               DashboardViewModel::spokenDuration(seconds);
    };
    m_today->setAccessibleName(reading(QStringLiteral("Today"), m_today->earnings(),
                                       earnings ? earnings->today.duration : 0));
    m_week->setAccessibleName(reading(QStringLiteral("This week"), m_week->earnings(),
                                      earnings ? earnings->thisWeek.duration : 0));
}

void DashboardView::updateEntries() {
    // Drawn within what was asked for, however many the server sent.
    const QList<TimeEntry> entries = m_timer->recentEntries().first(
        std::min(m_timer->recentEntries().size(), TimerViewModel::shownRecentEntries));
    // A row is kept while its entry stays in the list, so it keeps its pulse. Ids come from the
    // server: one repeated in an answer gets a row per occurrence, and every row left over goes.
    QMultiHash<QString, TimeEntryRow*> unused = std::exchange(m_rowsById, {});
    for (const TimeEntry& entry : entries) {
        TimeEntryRow* entryRow = nullptr;
        if (const auto found = unused.find(entry.id); found != unused.end()) {
            entryRow = found.value();
            unused.erase(found);
            entryRow->setEntry(entry);
        } else {
            entryRow = new TimeEntryRow(m_timer, entry);
        }
        m_rowsById.insert(entry.id, entryRow);
        m_rows->removeWidget(entryRow);
        m_rows->addWidget(entryRow);
    }
    qDeleteAll(unused);
    m_noEntries->setVisible(entries.isEmpty());
}

QCoro::Task<void> DashboardView::loadOnAppearance() {
    QPointer self(this);
    DashboardViewModel* dashboard = m_dashboard;
    co_await m_timer->refreshAllData();
    if (self) {
        co_await dashboard->loadEarnings();
    }
}

void DashboardView::setAwayWatch(AwayWatch* away) {
    m_timerView->setAwayWatch(away);
}

void DashboardView::setWeek(WeekViewModel* week) {
    m_weekModel = week;
    week->setParent(this);
    m_weekView = new WeekView(week);
    auto* weekScroll = new QScrollArea;
    weekScroll->setWidget(m_weekView);
    weekScroll->setWidgetResizable(true);
    weekScroll->setFrameShape(QFrame::NoFrame);
    weekScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    weekScroll->verticalScrollBar()->setStyleSheet(m_scroll->verticalScrollBar()->styleSheet());
    weekScroll->viewport()->setAutoFillBackground(false);
    m_weekView->setAutoFillBackground(false);
    m_pages->addWidget(weekScroll);

    m_weekToggle = new LinkButton(QStringLiteral("Week"), Theme::blue());
    m_weekToggle->setObjectName(QStringLiteral("weekToggle"));
    m_weekToggle->setFont(Theme::font(Theme::TextStyle::headline));
    m_weekToggle->setCheckable(true);
    m_weekToggle->setShortcut(QKeySequence(Qt::ALT | Qt::Key_W));
    m_weekToggle->setAccessibleDescription(QStringLiteral("Shows the week by day and project (Alt+W)"));
    connect(m_weekToggle, &LinkButton::toggled, this, &DashboardView::showWeek);
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("weekBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(padding, 10, padding, 0);
    barLayout->addWidget(m_weekView->navigation());
    barLayout->addStretch();
    barLayout->addWidget(m_weekToggle);
    static_cast<QVBoxLayout*>(layout())->insertWidget(layout()->indexOf(m_pages), bar);
    m_weekView->navigation()->hide();

    m_closeWeek = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { showWeek(false); },
                                Qt::WidgetWithChildrenShortcut);
    m_closeWeek->setEnabled(false);
    // What was started or stopped, wherever, is in the week too.
    connect(m_timer, &TimerViewModel::actionSucceeded, m_weekModel, [this] {
        if (isShowingWeek()) {
            m_weekModel->load();
        }
    });
}

bool DashboardView::isShowingWeek() const {
    return m_weekView && m_pages->currentIndex() == 1;
}

void DashboardView::showWeek(bool shown) {
    if (!m_weekView || shown == isShowingWeek()) {
        return;
    }
    const QSignalBlocker quiet(m_weekToggle);
    m_weekToggle->setChecked(shown);
    m_weekToggle->setText(shown ? QStringLiteral("Done") : QStringLiteral("Week"));
    m_weekToggle->updateGeometry();
    m_weekView->navigation()->setVisible(shown);
    m_pages->setCurrentIndex(shown ? 1 : 0);
    m_fade->setVisible(!shown);
    m_closeWeek->setEnabled(shown);
    m_weekModel->setLive(shown);
    if (shown) {
        m_weekModel->load();
        m_weekView->chart()->setFocus(Qt::OtherFocusReason);
    }
}

void DashboardView::reload() {
    refreshSequence();
}

QCoro::Task<void> DashboardView::refreshSequence() {
    QPointer self(this);
    m_turn->start();
    co_await m_timer->refreshAllData();
    if (!self) {
        co_return;
    }
    co_await m_dashboard->loadEarnings();
    if (self && isShowingWeek()) {
        co_await m_weekModel->load();
    }
    if (self) {
        m_turn->stop();
        m_timerView->setRotationDegrees(0);
    }
}

void DashboardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::appBackground());
    // A soft shadow below the timer card: black at 10 %, spread over 8 px, 4 px down.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF card = QRectF(m_timerCard->geometry()).translated(0, 4);
    // Four layers that add up to the shadow's opacity where they all overlap.
    painter.setBrush(Theme::withOpacity(Theme::shadow(), Theme::shadow().alphaF() / 4));
    for (int step = 8; step > 0; step -= 2) {
        painter.drawRoundedRect(card.adjusted(-step / 2.0, -step / 2.0, step / 2.0, step / 2.0),
                                12 + step / 2.0, 12 + step / 2.0);
    }
}

void DashboardView::resizeEvent(QResizeEvent*) {
    m_fade->setGeometry(0, 0, width(), fadeHeight);
}

} // namespace kelvo
