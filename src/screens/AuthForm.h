#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kelvo {

class FieldEdit;
class PrimaryButton;

// The layout both sign-in screens share: a header (symbol, title, subtitle) over a form column
// of labelled fields, warning and error lines, the primary button and a row that switches to
// the other screen.
class AuthForm : public QWidget {
    Q_OBJECT
public:
    AuthForm(const QString& symbol, const QString& title, const QString& subtitle,
             QWidget* parent = nullptr);

    FieldEdit* addField(const QString& objectName, const QString& label, const QString& placeholder,
                        bool hidden);
    QLabel* addWarning(const QString& objectName, const QString& text);
    // A quiet line above the fields, hidden until shown.
    QLabel* addNotice(const QString& objectName, const QString& text);
    // Adds the error line, the primary button and the switch row, in that order.
    PrimaryButton* finish(const QString& switchText, const QString& switchButton);

    void setError(const std::optional<QString>& error);

Q_SIGNALS:
    void switchRequested();

private:
    QVBoxLayout* notes();

    QVBoxLayout* m_form;
    QVBoxLayout* m_notes = nullptr;
    QLabel* m_error = nullptr;
};

} // namespace kelvo
