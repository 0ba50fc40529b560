#pragma once

#include <QWidget>

class QLabel;

namespace kelvo {

class AuthViewModel;
class AuthForm;
class FieldEdit;
class PrimaryButton;

// The sign-in screen: e-mail and password, sent exactly as typed.
class LoginView : public QWidget {
    Q_OBJECT
public:
    explicit LoginView(AuthViewModel* auth, QWidget* parent = nullptr);

Q_SIGNALS:
    // The user asked for the registration screen.
    void showRegisterRequested();

private:
    void refresh();
    void submitLogin();

    AuthViewModel* m_auth;
    AuthForm* m_form;
    FieldEdit* m_email;
    FieldEdit* m_password;
    PrimaryButton* m_button;
    QLabel* m_retrying;
    QLabel* m_notice;
};

} // namespace kelvo
