#pragma once

#include <QWidget>

class QLabel;

namespace kelvo {

class AuthViewModel;
class AuthForm;
class FieldEdit;
class PrimaryButton;

// The registration screen: name, e-mail and the password twice, checked before sending.
class RegisterView : public QWidget {
    Q_OBJECT
public:
    explicit RegisterView(AuthViewModel* auth, QWidget* parent = nullptr);

    bool isFormValid() const;

Q_SIGNALS:
    // The user asked for the sign-in screen.
    void showLoginRequested();

private:
    void refresh();
    void validatePasswords();
    void submitRegistration();

    AuthViewModel* m_auth;
    AuthForm* m_form;
    FieldEdit* m_name;
    FieldEdit* m_email;
    FieldEdit* m_password;
    FieldEdit* m_confirmPassword;
    QLabel* m_mismatch;
    PrimaryButton* m_button;
    bool m_showingPasswordMismatchError = false;
};

} // namespace kelvo
