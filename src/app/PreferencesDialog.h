#pragma once

#include <QDialog>

#include <expected>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kelvo {

class MenuBarManager;
class Preferences;

// The program's settings in four sections: General (start at login), Panel (what the panel
// item's label shows), Reminders (of a long-running timer, of a timer not started, and the work
// hours) and When I'm away (stop after idle minutes, on lock, before sleep). Each applies as soon
// as it is changed; what could not be saved is said in the dialog, and the control goes back to
// what holds. Dark like the rest of the program, with edges that can be seen.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(MenuBarManager* menuBar, Preferences* preferences, QWidget* parent = nullptr);

    QCheckBox* startAtLogin() const { return m_startAtLogin; }
    QComboBox* panelText() const { return m_panelText; }
    QSpinBox* reminder() const { return m_reminder; }
    QSpinBox* startReminder() const { return m_startReminder; }
    QLineEdit* workHours() const { return m_workHours; }
    QComboBox* awayIdle() const { return m_awayIdle; }
    QCheckBox* awayOnLock() const { return m_awayOnLock; }
    QCheckBox* awayOnSleep() const { return m_awayOnSleep; }
    QLabel* problem() const { return m_problem; }

    // Reads every control back from where its setting lives.
    void reload();
    // Why the start reminder cannot work on this desktop, or empty.
    void setStartReminderProblem(const QString& problem);

private:
    void addSection(QFormLayout* form, const QString& title);
    void applyStartAtLogin(bool enabled);
    // Says what could not be kept, and shows what holds again.
    void settle(const std::expected<void, QString>& written, const QString& what);
    void say(const QString& problem);

    MenuBarManager* m_menuBar;
    Preferences* m_preferences;
    QCheckBox* m_startAtLogin;
    QComboBox* m_panelText;
    QSpinBox* m_reminder;
    QSpinBox* m_startReminder;
    QSpinBox* m_weeklyTarget;
    QLabel* m_startReminderProblem;
    QLineEdit* m_workHours;
    QComboBox* m_awayIdle;
    QCheckBox* m_awayOnLock;
    QCheckBox* m_awayOnSleep;
    QLabel* m_problem;
};

} // namespace kelvo
