#include "PreferencesDialog.h"

#include "Autostart.h"
#include "menubar/MenuBarManager.h"
#include "state/Preferences.h"
#include "ui/FormStyle.h"
#include "ui/Labels.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

QLabel* note(const QString& objectName, const QColor& color) {
    QLabel* label = makeLabel(objectName, {}, Theme::font(Theme::TextStyle::caption), color);
    label->setWordWrap(true);
    label->hide();
    return label;
}

} // namespace

PreferencesDialog::PreferencesDialog(MenuBarManager* menuBar, Preferences* preferences,
                                     QWidget* parent)
    : QDialog(parent)
    , m_menuBar(menuBar)
    , m_preferences(preferences)
    , m_startAtLogin(new QCheckBox(u"Start at login"_s))
    , m_panelText(new QComboBox)
    , m_reminder(new QSpinBox)
    , m_startReminder(new QSpinBox)
    , m_weeklyTarget(new QSpinBox)
    , m_startReminderProblem(note(u"startReminderProblem"_s, Theme::secondaryText()))
    , m_workHours(new QLineEdit)
    , m_awayIdle(new QComboBox)
    , m_awayOnLock(new QCheckBox(u"Stop it when the screen locks"_s))
    , m_awayOnSleep(new QCheckBox(u"Stop it before the machine sleeps or shuts down"_s))
    , m_problem(note(u"preferencesProblem"_s, Theme::accentRed())) {
    setObjectName(u"preferencesDialog"_s);
    setWindowTitle(u"Kelvo Preferences"_s);
    setWindowIcon(QIcon(u":/kelvo-64.png"_s));
    m_startAtLogin->setObjectName(u"startAtLogin"_s);
    m_startAtLogin->setToolTip(u"Start Kelvo in the panel when you log in"_s);
    m_panelText->setObjectName(u"panelText"_s);
    using PanelText = MenuBarManager::PanelText;
    for (const auto& [label, mode] :
         {std::pair{u"Elapsed Time"_s, PanelText::elapsed}, {u"Hours and Minutes"_s, PanelText::minutes},
          {u"In the Icon"_s, PanelText::icon}, {u"Off"_s, PanelText::off}}) {
        m_panelText->addItem(label, int(mode));
    }
    m_reminder->setObjectName(u"reminder"_s);
    m_reminder->setRange(0, Preferences::maxReminderHours);
    m_reminder->setSpecialValueText(u"Never"_s);
    m_reminder->setSuffix(u" hours"_s);
    m_startReminder->setObjectName(u"startReminder"_s);
    m_startReminder->setRange(0, Preferences::longestStartReminder);
    m_startReminder->setSingleStep(Preferences::shortestStartReminder);
    m_startReminder->setSpecialValueText(u"Never"_s);
    m_startReminder->setSuffix(u" minutes"_s);
    m_weeklyTarget->setObjectName(u"weeklyTarget"_s);
    m_weeklyTarget->setRange(0, Preferences::hoursInAWeek);
    m_weeklyTarget->setSpecialValueText(u"None"_s);
    m_weeklyTarget->setSuffix(u" hours"_s);
    m_weeklyTarget->setToolTip(u"Drawn across the week, shared among the work days"_s);
    m_workHours->setObjectName(u"workHours"_s);
    m_workHours->setPlaceholderText(WorkHours::standard().text());
    m_awayIdle->setObjectName(u"awayIdle"_s);
    for (const int minutes : Preferences::idleChoices) {
        m_awayIdle->addItem(minutes == 0 ? u"Never"_s : u"%1 minutes without input"_s.arg(minutes),
                            minutes);
    }
    m_awayOnLock->setObjectName(u"awayOnLock"_s);
    m_awayOnSleep->setObjectName(u"awayOnSleep"_s);
    m_awayOnSleep->setToolTip(u"Also when the session ends"_s);

    // One form, so that the fields of every section line up.
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    addSection(form, u"General"_s);
    form->addRow(m_startAtLogin);
    form->addRow(u"Hours per week:"_s, m_weeklyTarget);
    addSection(form, u"Panel"_s);
    form->addRow(u"Panel text:"_s, m_panelText);
    addSection(form, u"Reminders"_s);
    form->addRow(u"Remind me of a running timer after:"_s, m_reminder);
    form->addRow(u"Remind me to start a timer after:"_s, m_startReminder);
    form->addRow(u"Work hours:"_s, m_workHours);
    form->addRow(m_startReminderProblem);
    addSection(form, u"When I\u2019m away"_s);
    form->addRow(u"Stop the running timer after:"_s, m_awayIdle);
    form->addRow(m_awayOnLock);
    form->addRow(m_awayOnSleep);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Edges that can be seen on the dark theme, for every control of the form.
    auto* style = new FormStyle;
    style->setParent(this);
    for (QWidget* control : findChildren<QWidget*>()) {
        control->setStyle(style);
    }

    reload();
    say(m_preferences->readProblem());
    connect(m_startAtLogin, &QCheckBox::toggled, this, &PreferencesDialog::applyStartAtLogin);
    connect(m_panelText, &QComboBox::activated, this, [this](int index) {
        settle(m_menuBar->setPanelText(MenuBarManager::PanelText(m_panelText->itemData(index).toInt())),
               u"panel text"_s);
    });
    connect(m_reminder, &QSpinBox::valueChanged, this, [this](int hours) {
        settle(m_preferences->setReminderHours(hours), u"reminder"_s);
    });
    connect(m_startReminder, &QSpinBox::editingFinished, this, [this] {
        // Between never and the shortest wait there is nothing: the next one up.
        const int minutes = m_startReminder->value();
        settle(m_preferences->setStartReminderMinutes(
                   minutes > 0 ? std::max(minutes, Preferences::shortestStartReminder) : 0),
               u"start reminder"_s);
    });
    connect(m_weeklyTarget, &QSpinBox::editingFinished, this, [this] {
        if (m_weeklyTarget->value() != m_preferences->weeklyTargetHours()) {
            settle(m_preferences->setWeeklyTargetHours(m_weeklyTarget->value()), u"weekly target"_s);
        }
    });
    connect(m_workHours, &QLineEdit::editingFinished, this, [this] {
        if (m_workHours->text() != m_preferences->workHours().text()) {
            settle(m_preferences->setWorkHours(m_workHours->text()), u"work hours"_s);
        }
    });
    connect(m_awayIdle, &QComboBox::activated, this, [this](int index) {
        settle(m_preferences->setAwayIdleMinutes(m_awayIdle->itemData(index).toInt()),
               u"idle rule"_s);
    });
    connect(m_awayOnLock, &QCheckBox::toggled, this, [this](bool stop) {
        settle(m_preferences->setStopsOnLock(stop), u"lock rule"_s);
    });
    connect(m_awayOnSleep, &QCheckBox::toggled, this, [this](bool stop) {
        settle(m_preferences->setStopsOnSleep(stop), u"sleep rule"_s);
    });
}

void PreferencesDialog::addSection(QFormLayout* form, const QString& title) {
    QLabel* heading = makeLabel({}, title, Theme::font(Theme::TextStyle::headline),
                                Theme::primaryText());
    heading->setAccessibleName(title);
    // Room above every section but the first.
    heading->setContentsMargins(0, form->rowCount() == 0 ? 0 : 12, 0, 2);
    form->addRow(heading);
}

void PreferencesDialog::reload() {
    const QSignalBlocker blockStart(m_startAtLogin);
    const QSignalBlocker blockReminder(m_reminder);
    const QSignalBlocker blockLock(m_awayOnLock);
    const QSignalBlocker blockSleep(m_awayOnSleep);
    m_startAtLogin->setChecked(Autostart::isEnabled());
    m_panelText->setCurrentIndex(m_panelText->findData(int(m_menuBar->panelText())));
    m_reminder->setValue(m_preferences->reminderHours());
    m_startReminder->setValue(m_preferences->startReminderMinutes());
    m_workHours->setText(m_preferences->workHours().text());
    m_weeklyTarget->setValue(m_preferences->weeklyTargetHours());
    m_awayIdle->setCurrentIndex(m_awayIdle->findData(m_preferences->awayIdleMinutes()));
    m_awayOnLock->setChecked(m_preferences->stopsOnLock());
    m_awayOnSleep->setChecked(m_preferences->stopsOnSleep());
}

void PreferencesDialog::setStartReminderProblem(const QString& problem) {
    m_startReminderProblem->setText(problem);
    m_startReminderProblem->setVisible(!problem.isEmpty());
}

void PreferencesDialog::applyStartAtLogin(bool enabled) {
    const auto written = Autostart::setEnabled(enabled);
    say(written ? QString() : written.error());
    reload();
}

void PreferencesDialog::settle(const std::expected<void, QString>& written, const QString& what) {
    if (written) {
        say({});
        return;
    }
    say(u"The "_s + what + u" could not be kept: "_s + written.error());
    reload();
}

void PreferencesDialog::say(const QString& problem) {
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
}

} // namespace kelvo
