#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

namespace kelvo {

class MenuBarManager;
class Preferences;

// The program's few settings: start at login, what the panel item's label shows, and after how
// many hours of one running timer a reminder comes. Each applies as soon as it is changed; what
// could not be saved is said in the dialog, and the control goes back to what holds.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(MenuBarManager* menuBar, Preferences* preferences, QWidget* parent = nullptr);

    QCheckBox* startAtLogin() const { return m_startAtLogin; }
    QComboBox* panelText() const { return m_panelText; }
    QComboBox* reminder() const { return m_reminder; }
    QLabel* problem() const { return m_problem; }

    // Reads every control back from where its setting lives.
    void reload();

private:
    void applyStartAtLogin(bool enabled);
    void applyReminder(int index);
    void say(const QString& problem);

    MenuBarManager* m_menuBar;
    Preferences* m_preferences;
    QCheckBox* m_startAtLogin;
    QComboBox* m_panelText;
    QComboBox* m_reminder;
    QLabel* m_problem;
};

} // namespace kelvo
