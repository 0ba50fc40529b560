#include "WeekView.h"

#include "WeekChart.h"
#include "WeekProjectRow.h"
#include "records/Formatting.h"
#include "records/NamedColors.h"
#include "state/WeekViewModel.h"
#include "ui/Alerts.h"
#include "ui/Labels.h"
#include "ui/LinkButton.h"
#include "state/EntryPager.h"
#include "ui/Theme.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

constexpr int padding = 16;

LinkButton* link(const QString& name, const QString& text, const QString& spoken) {
    auto* button = new LinkButton(text, Theme::blue());
    button->setObjectName(name);
    button->setFont(Theme::font(Theme::TextStyle::headline));
    button->setAccessibleName(spoken);
    return button;
}

} // namespace

WeekView::WeekView(WeekViewModel* week, QWidget* parent)
    : QWidget(parent)
    , m_week(week) {
    setObjectName(u"weekView"_s);
    m_navigation = buildNavigation();
    m_chart = new WeekChart(week);
    m_total = makeLabel(u"weekTotal"_s, {}, Theme::font(Theme::TextStyle::title3, QFont::Bold),
                        Theme::primaryText());
    m_target = makeLabel(u"weekTarget"_s, {}, Theme::font(Theme::TextStyle::subheadline),
                         Theme::secondaryText());
    m_status = makeLabel(u"weekStatus"_s, {}, Theme::font(Theme::TextStyle::caption),
                         Theme::secondaryText());
    m_status->setWordWrap(true);
    Alerts::mark(m_status);
    m_export = link(u"exportWeek"_s, u"Export\u2026"_s, u"Export the week as CSV"_s);
    m_export->setFont(Theme::font(Theme::TextStyle::subheadline));
    connect(m_export, &LinkButton::clicked, this, &WeekView::chooseExport);

    auto* totals = new QHBoxLayout;
    totals->addWidget(m_total, 1);
    totals->addWidget(m_export, 0, Qt::AlignBottom);
    m_projectRows = new QVBoxLayout;
    m_projectRows->setSpacing(6);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, 8, padding, padding);
    layout->setSpacing(10);
    layout->addWidget(m_chart);
    layout->addLayout(totals);
    layout->addWidget(m_target);
    layout->addWidget(m_status);
    layout->addLayout(m_projectRows);
    layout->addStretch();

    connect(m_week, &WeekViewModel::weekChanged, this, &WeekView::updateWeek);
    connect(m_week, &WeekViewModel::tallyChanged, this, &WeekView::updateTally);
    connect(m_week, &WeekViewModel::weeklyTargetChanged, this, &WeekView::updateTally);
    connect(m_week, &WeekViewModel::isLoadingChanged, this, [this] {
        if (m_week->isLoading()) {
            m_exportError.reset(); // said once; a new load has news of its own
        }
        updateStatus();
    });
    connect(m_week, &WeekViewModel::errorMessageChanged, this, &WeekView::updateStatus);
    updateWeek();
    updateTally();
}

QWidget* WeekView::buildNavigation() {
    auto* bar = new QWidget;
    bar->setObjectName(u"weekNavigation"_s);
    auto* previous = link(u"previousWeek"_s, u"\u2039"_s, u"Previous week"_s);
    auto* next = link(u"nextWeek"_s, u"\u203a"_s, u"Next week"_s);
    m_thisWeek = link(u"thisWeek"_s, u"This week"_s, u"This week"_s);
    m_thisWeek->setFont(Theme::font(Theme::TextStyle::subheadline));
    for (LinkButton* arrow : {previous, next}) {
        arrow->setFont(Theme::font(Theme::TextStyle::title2));
    }
    m_title = makeLabel(u"weekTitle"_s, {}, Theme::font(Theme::TextStyle::headline),
                        Theme::primaryText());
    connect(previous, &LinkButton::clicked, this, [this] { m_week->step(-1); });
    connect(next, &LinkButton::clicked, this, [this] { m_week->step(1); });
    connect(m_thisWeek, &LinkButton::clicked, this, [this] { m_week->showThisWeek(); });
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(previous);
    layout->addWidget(m_title);
    layout->addWidget(next);
    layout->addWidget(m_thisWeek);
    return bar;
}

void WeekView::updateWeek() {
    const QDate monday = m_week->monday();
    const QDate sunday = monday.addDays(6);
    const QLocale locale = QLocale::c();
    m_title->setText(m_week->isThisWeek()
                         ? u"This Week"_s
                         : locale.toString(monday, u"d MMM"_s) + u" \u2013 "_s +
                               locale.toString(sunday, monday.year() == sunday.year()
                                                           ? u"d MMM"_s
                                                           : u"d MMM yyyy"_s));
    m_title->setAccessibleName(u"Week of "_s + locale.toString(monday, u"d MMMM yyyy"_s));
    m_thisWeek->setVisible(!m_week->isThisWeek());
    m_exportError.reset();
    updateStatus();
}

void WeekView::updateTally() {
    const TimeTally& tally = m_week->tally();
    m_total->setText(TimeTally::spanText(tally.milliseconds()) + u"  \u00b7  "_s + TimeTally::sumText(tally.earnings()));
    const int target = m_week->weeklyTargetHours();
    m_target->setText(target > 0 ? TimeTally::spanText(tally.milliseconds()) + u" of %1 h"_s.arg(target)
                                 : QString());
    m_target->setVisible(target > 0);
    const QList<TimeTally::Project>& projects = tally.projects();
    // Rows are kept and refilled: a minute's recount changes figures, not the list.
    while (m_rows.size() < projects.size()) {
        auto* row = new WeekProjectRow;
        m_rows.append(row);
        m_projectRows->addWidget(row);
    }
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        WeekProjectRow* row = m_rows.at(i);
        row->setVisible(i < projects.size());
        if (i < projects.size()) {
            const TimeTally::Project& project = projects.at(i);
            const auto color = project.color ? colorFromHex(*project.color) : std::nullopt;
            row->set(color.value_or(NamedColors::grey()), project.name,
                     TimeTally::spanText(project.milliseconds), TimeTally::sumText(project.earnings));
        }
    }
    updateStatus();
}

void WeekView::updateStatus() {
    // Once the week has come whole: an export of part of it would say nothing of the rest.
    m_export->setVisible(!m_week->isLoading() && !m_week->startingEntries().isEmpty());
    std::optional<QString> text;
    if (m_exportError) {
        text = m_exportError;
    } else if (m_week->errorMessage()) {
        text = u"Failed to load the week: "_s + *m_week->errorMessage();
    } else if (m_week->isTruncated()) {
        text = u"Not every entry of this week could be read: Kelvo reads at most %L1."_s.arg(
            EntryPager::maximumEntries);
    } else if (m_week->isLoading() && m_week->tally().milliseconds() == 0) {
        text = u"Loading\u2026"_s;
    } else if (!m_week->isLoading() && m_week->tally().milliseconds() == 0) {
        text = u"No time tracked this week."_s;
    }
    Alerts::show(m_status, text);
}

std::optional<QString> WeekView::exportTo(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_week->csv()) < 0 || !file.commit()) {
        return u"Could not export to %1: %2"_s.arg(path, file.errorString());
    }
    return std::nullopt;
}

void WeekView::chooseExport() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = u"kelvo-week-%1.csv"_s.arg(m_week->monday().toString(Qt::ISODate));
    const QString path = QFileDialog::getSaveFileName(this, u"Export Week"_s,
                                                      folder + u'/' + name,
                                                      u"CSV files (*.csv)"_s);
    if (path.isEmpty()) {
        return;
    }
    m_exportError = exportTo(path);
    updateStatus();
}

} // namespace kelvo
