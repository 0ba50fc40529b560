#pragma once

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;

namespace kelvo {

class AwayWatch;
class CircleButton;
class ElidedLabel;
class FieldEdit;
class PullDownButton;
class SymbolButton;
class TimerViewModel;

// The timer card at the top of the dashboard. Idle, it offers a project, a task and a description and
// starts a timer; running, it shows the entry, the counter, what it has earned so far and a stop
// button, with the settings and refresh buttons. The choices are its own until a timer starts.
class TimerView : public QWidget {
    Q_OBJECT
public:
    TimerView(TimerViewModel* timer, std::function<void()> onRefresh,
              std::function<void()> onSettings, QWidget* parent = nullptr);

    // Passed down by the dashboard: the refresh symbol's turn, and whether a refresh runs.
    void setRotationDegrees(qreal degrees);
    void setRefreshing(bool refreshing);
    SymbolButton* refreshButton() const { return m_refresh; }
    // Says what was stopped while the user was away, with Resume and Dismiss.
    void setAwayWatch(AwayWatch* away);

    const QString& selectedProjectId() const { return m_selectedProjectId; }
    const QString& selectedTaskId() const { return m_selectedTaskId; }

private:
    QWidget* buildRunningFace();
    QWidget* buildIdleFace();
    QWidget* buildNoProjects();
    void updateNoProjects();
    QWidget* buildAwayLine();
    void updateAwayLine();
    void updateFace();
    void passFocus();
    void updateCounter();
    void updateChoices();
    void updateError();
    void buildProjectMenu(class QMenu& menu);
    void buildTaskMenu(class QMenu& menu);
    void chooseProject(const QString& projectId);
    void chooseTask(const QString& taskId);
    void preselectProject();
    void start();
    QCoro::Task<void> stopSequence();

    TimerViewModel* m_timer;
    std::function<void()> m_onRefresh;
    std::function<void()> m_onSettings;
    QString m_selectedProjectId;
    QString m_selectedTaskId;

    QWidget* m_runningFace;
    QWidget* m_idleFace;
    // Said instead of a start that cannot be pressed: the account has no project yet.
    QWidget* m_noProjects;
    // A timer stopped while the user was away, once they are back.
    QWidget* m_awayLine;
    QLabel* m_awayText;
    QPointer<AwayWatch> m_away;
    QLabel* m_error;
    // Where the focus goes once the face it was on has given way.
    QPointer<QWidget> m_focusNext;
    ElidedLabel* m_projectName;
    ElidedLabel* m_taskName;
    SymbolButton* m_settings;
    SymbolButton* m_refresh;
    QLabel* m_counter;
    QLabel* m_earnings;
    CircleButton* m_stop;
    PullDownButton* m_projectChooser;
    PullDownButton* m_taskChooser;
    FieldEdit* m_description;
    CircleButton* m_start;
};

} // namespace kelvo
