#include "WeekChart.h"

#include "WeekChartAccessible.h"

#include "records/Formatting.h"
#include "records/NamedColors.h"
#include "state/WeekViewModel.h"
#include "ui/FocusRing.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>

#include <cmath>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

constexpr int gap = 6;

QString shortHours(qint64 milliseconds) {
    const long long minutes = TimeTally::seconds(milliseconds) / 60;
    return minutes == 0 ? QString() : QString::asprintf("%lld:%02lld", minutes / 60, minutes % 60);
}

QColor colorOf(const TimeTally::Project& project) {
    const auto color = project.color ? colorFromHex(*project.color) : std::nullopt;
    return color.value_or(NamedColors::grey());
}

} // namespace

WeekChart::WeekChart(WeekViewModel* week, QWidget* parent)
    : QWidget(parent)
    , m_week(week) {
    // Before anything here asks for this widget's interface, which is then kept.
    static const bool installed = [] {
        QAccessible::installFactory(&WeekChartAccessible::create);
        return true;
    }();
    Q_UNUSED(installed);
    setObjectName(u"weekChart"_s);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(u"Hours by day"_s);

    connect(m_week, &WeekViewModel::tallyChanged, this, &WeekChart::refresh);
    connect(m_week, &WeekViewModel::weeklyTargetChanged, this, &WeekChart::refresh);
    connect(m_week, &WeekViewModel::weekChanged, this, [this] {
        const QDate today = m_week->today();
        setSelectedDay(m_week->isThisWeek() ? today.dayOfWeek() - 1 : 0);
        refresh();
    });
    m_selected = m_week->isThisWeek() ? m_week->today().dayOfWeek() - 1 : 0;
    refresh();
}

QSize WeekChart::sizeHint() const {
    const int line = QFontMetrics(Theme::font(Theme::TextStyle::caption)).height();
    return {360, 120 + 4 * line};
}

QSize WeekChart::minimumSizeHint() const {
    return {280, sizeHint().height()};
}

void WeekChart::setSelectedDay(int day) {
    day = std::clamp(day, 0, 6);
    if (day == m_selected) {
        return;
    }
    m_selected = day;
    if (hasFocus()) {
        QAccessibleEvent chosen(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&chosen);
    }
    refresh();
}

void WeekChart::refresh() {
    const QString reading = dayReading(m_selected);
    if (reading == accessibleDescription()) {
        update();
        return; // nothing new to say
    }
    setAccessibleDescription(reading); // which tells screen readers itself
    update();
}

QString WeekChart::cellText(int day, int column) const {
    const auto& days = m_week->tally().days();
    if (day < 0 || day >= days.size()) {
        return {};
    }
    const TimeTally::Day& d = days.at(day);
    switch (column) {
    case 0:
        return QLocale::c().toString(d.date, u"dddd d MMMM"_s);
    case 1:
        return TimeTally::spanText(d.milliseconds);
    case 2:
        return TimeTally::sumText(d.earnings);
    default:
        return d.projects.isEmpty() ? QString() : d.projects.first().name;
    }
}

QString WeekChart::dayReading(int day) const {
    const auto& days = m_week->tally().days();
    if (day < 0 || day >= days.size()) {
        return {};
    }
    QString text = cellText(day, 0) + u": "_s + cellText(day, 1) + u", "_s + cellText(day, 2) +
                   u'.';
    QStringList projects;
    for (const TimeTally::Project& project : days.at(day).projects) {
        projects.append(project.name + u' ' + TimeTally::spanText(project.milliseconds));
    }
    if (!projects.isEmpty()) {
        text += u' ' + projects.join(u", "_s) + u'.';
    }
    return text;
}

double WeekChart::scaleHours() const {
    double hours = 1;
    for (const TimeTally::Day& day : m_week->tally().days()) {
        hours = std::max({hours, double(day.milliseconds) / 3'600'000.0,
                          m_week->targetHours(day.date)});
    }
    return std::ceil(hours);
}

QRect WeekChart::dayRect(int day) const {
    return column(day).adjusted(-gap / 2.0, 0, gap / 2.0, 0).toAlignedRect();
}

QRectF WeekChart::column(int day) const {
    const qreal width = (this->width() - 6.0 * gap) / 7.0;
    return {day * (width + gap), 0, width, qreal(height())};
}

void WeekChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont caption = Theme::font(Theme::TextStyle::caption);
    const QFontMetrics metrics(caption);
    const int line = metrics.height();
    const qreal top = line + 4;            // the hours above the tallest bar
    const qreal bottom = height() - 2 * line - 8; // the day's name and date below
    const double scale = scaleHours();
    const auto yOf = [&](double hours) { return bottom - (bottom - top) * hours / scale; };
    const auto& days = m_week->tally().days();
    const QDate today = m_week->today();
    painter.setFont(caption);
    for (int day = 0; day < days.size() && day < 7; ++day) {
        const TimeTally::Day& d = days.at(day);
        const QRectF col = column(day);
        if (day == m_selected) {
            const QRectF cell = col.adjusted(-gap / 2.0, 0, gap / 2.0, 0);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::controlBackground());
            painter.drawRoundedRect(cell, 6, 6);
            FocusRing::paint(painter, *this, cell, 6);
        }
        const QRectF bar = col.adjusted(col.width() * 0.2, 0, -col.width() * 0.2, 0);
        // Largest project at the bottom; each share in its own colour.
        double below = 0;
        painter.setPen(Qt::NoPen);
        for (const TimeTally::Project& project : d.projects) {
            const double hours = double(project.milliseconds) / 3'600'000.0;
            const QRectF part(bar.left(), yOf(below + hours), bar.width(),
                              yOf(below) - yOf(below + hours));
            painter.setBrush(colorOf(project));
            painter.drawRect(part);
            below += hours;
        }
        painter.setBrush(Theme::hairline());
        painter.drawRect(QRectF(bar.left() - 2, bottom, bar.width() + 4, 1));
        if (const double target = m_week->targetHours(d.date); target > 0) {
            QPen pen(Theme::primaryText(), 1.5, Qt::DashLine);
            painter.setPen(pen);
            painter.drawLine(QPointF(col.left() + 2, yOf(target)), QPointF(col.right() - 2, yOf(target)));
        }
        // On a patch of the background, so that the target line never strikes the figure out.
        const QString figure = shortHours(d.milliseconds);
        if (!figure.isEmpty()) {
            const qreal wide = metrics.horizontalAdvance(figure) + 4;
            const QRectF label(col.center().x() - wide / 2, yOf(below) - line - 2, wide, line);
            painter.fillRect(label, day == m_selected ? Theme::controlBackground() : Theme::appBackground());
            painter.setPen(Theme::secondaryText());
            painter.drawText(label, Qt::AlignCenter, figure);
        }
        const bool isToday = d.date == today;
        QFont name = caption;
        name.setBold(isToday);
        painter.setFont(name);
        painter.setPen(isToday ? Theme::accentGreen() : Theme::primaryText());
        painter.drawText(QRectF(col.left() - gap / 2.0, bottom + 4, col.width() + gap, line),
                         Qt::AlignHCenter, QLocale::c().toString(d.date, u"ddd"_s));
        painter.setPen(isToday ? Theme::accentGreen() : Theme::secondaryText());
        painter.drawText(QRectF(col.left() - gap / 2.0, bottom + 4 + line, col.width() + gap, line),
                         Qt::AlignHCenter, QString::number(d.date.day()));
        painter.setFont(caption);
    }
}

void WeekChart::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        setSelectedDay(m_selected + (event->key() == Qt::Key_Left ? -1 : 1));
        return;
    }
    QWidget::keyPressEvent(event);
}

void WeekChart::mousePressEvent(QMouseEvent* event) {
    for (int day = 0; day < 7; ++day) {
        if (column(day).adjusted(-gap / 2.0, 0, gap / 2.0, 0).contains(event->position())) {
            setSelectedDay(day);
        }
    }
}

void WeekChart::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void WeekChart::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

} // namespace kelvo
