#include "PreferencesDialog.h"

#include "Autostart.h"
#include "menubar/MenuBarManager.h"
#include "state/Preferences.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kelvo {

using namespace Qt::StringLiterals;

PreferencesDialog::PreferencesDialog(MenuBarManager* menuBar, Preferences* preferences,
                                     QWidget* parent)
    : QDialog(parent)
    , m_menuBar(menuBar)
    , m_preferences(preferences)
    , m_startAtLogin(new QCheckBox(u"Start at login"_s))
    , m_panelText(new QComboBox)
    , m_reminder(new QComboBox)
    , m_problem(new QLabel) {
    setObjectName(u"preferencesDialog"_s);
    setWindowTitle(u"Kelvo Preferences"_s);
    m_startAtLogin->setObjectName(u"startAtLogin"_s);
    m_startAtLogin->setToolTip(u"Start Kelvo in the panel when you log in"_s);
    m_panelText->setObjectName(u"panelText"_s);
    m_panelText->addItems({u"Elapsed Time"_s, u"Hours and Minutes"_s, u"Off"_s});
    m_reminder->setObjectName(u"reminder"_s);
    m_reminder->addItem(u"Never"_s);
    for (int hours = 1; hours <= Preferences::maxReminderHours; ++hours) {
        m_reminder->addItem(hours == 1 ? u"After 1 hour"_s : u"After %1 hours"_s.arg(hours));
    }
    m_problem->setObjectName(u"preferencesProblem"_s);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(u"color: %1"_s.arg(Theme::accentRed().name()));
    m_problem->hide();

    auto* form = new QFormLayout;
    form->addRow(m_startAtLogin);
    form->addRow(u"Panel text:"_s, m_panelText);
    form->addRow(u"Remind me of a running timer:"_s, m_reminder);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    reload();
    say(m_preferences->readProblem());
    connect(m_startAtLogin, &QCheckBox::toggled, this, &PreferencesDialog::applyStartAtLogin);
    connect(m_panelText, &QComboBox::activated, this, [this](int index) {
        const auto stored = m_menuBar->setPanelText(MenuBarManager::PanelText(index));
        say(stored ? QString()
                   : u"The panel text holds for now but could not be saved: "_s + stored.error());
    });
    connect(m_reminder, &QComboBox::activated, this, &PreferencesDialog::applyReminder);
}

void PreferencesDialog::reload() {
    const QSignalBlocker blockStart(m_startAtLogin);
    m_startAtLogin->setChecked(Autostart::isEnabled());
    m_panelText->setCurrentIndex(int(m_menuBar->panelText()));
    m_reminder->setCurrentIndex(m_preferences->reminderHours());
}

void PreferencesDialog::applyStartAtLogin(bool enabled) {
    const auto written = Autostart::setEnabled(enabled);
    say(written ? QString() : written.error());
    reload();
}

void PreferencesDialog::applyReminder(int index) {
    const auto written = m_preferences->setReminderHours(index);
    say(written ? QString()
                : u"The reminder holds for now but could not be saved: "_s + written.error());
}

void PreferencesDialog::say(const QString& problem) {
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
}

} // namespace kelvo
