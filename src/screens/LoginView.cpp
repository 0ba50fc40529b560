#include "LoginView.h"

#include "AuthForm.h"
#include "state/AuthViewModel.h"
#include "ui/Appearance.h"
#include "ui/FieldEdit.h"
#include "ui/PrimaryButton.h"
#include "ui/Schedule.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kelvo {

LoginView::LoginView(AuthViewModel* auth, QWidget* parent)
    : QWidget(parent)
    , m_auth(auth)
    , m_form(new AuthForm(QStringLiteral("clock.circle.fill"), QStringLiteral("Sign in to Kelvo"),
                          QStringLiteral("Track your time efficiently"))) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    m_email = m_form->addField(QStringLiteral("emailField"), QStringLiteral("Email"),
                               QStringLiteral("Enter your email"), false);
    m_password = m_form->addField(QStringLiteral("passwordField"), QStringLiteral("Password"),
                                  QStringLiteral("Enter your password"), true);
    m_button = m_form->finish(QStringLiteral("Don't have an account?"), QStringLiteral("Sign up"));
    m_retrying =
        m_form->addNotice(QStringLiteral("restoreRetryLabel"),
                          QStringLiteral("Could not confirm your sign-in \u2014 retrying\u2026"));
    m_notice = m_form->addNotice(QStringLiteral("signOutNotice"), {});
    connect(m_form, &AuthForm::switchRequested, this, &LoginView::showRegisterRequested);
    connect(m_button, &PrimaryButton::clicked, this, &LoginView::submitLogin);
    connect(m_email, &QLineEdit::textChanged, this, &LoginView::refresh);
    connect(m_password, &QLineEdit::textChanged, this, &LoginView::refresh);
    connect(m_auth, &AuthViewModel::isLoadingChanged, this, &LoginView::refresh);
    connect(m_auth, &AuthViewModel::errorMessageChanged, this, &LoginView::refresh);
    connect(m_auth, &AuthViewModel::isRetryingRestoreChanged, this, &LoginView::refresh);
    connect(m_auth, &AuthViewModel::noticeChanged, this, &LoginView::refresh);
    // An error from an earlier attempt or from the other screen is not shown again.
    new Appearance(this, [this] { m_auth->clearErrorMessage(); });
    refresh();
}

void LoginView::refresh() {
    const bool loading = m_auth->isLoading();
    m_button->setText(loading ? QStringLiteral("Signing in...") : QStringLiteral("Sign In"));
    m_button->setBusy(loading);
    // Texts as typed: a field of spaces counts as filled.
    const bool filled = !m_email->text().isEmpty() && !m_password->text().isEmpty();
    // Turned off under the focus, the button would hand it on to the registration link, where
    // the next Return leaves the screen; the password field keeps it for another try instead.
    const bool enabled = !loading && filled;
    if (!enabled && m_button->hasFocus()) {
        m_password->setFocus(Qt::OtherFocusReason);
    }
    m_button->setEnabled(enabled);
    // Grey while the form cannot be sent, as on the registration screen.
    m_button->setFill(filled ? Theme::blueFill() : Theme::grey());
    m_form->setError(m_auth->errorMessage());
    m_retrying->setVisible(m_auth->isRetryingRestore());
    m_notice->setText(m_auth->notice().value_or(QString()));
    m_notice->setVisible(m_auth->notice().has_value());
}

void LoginView::submitLogin() {
    schedule(m_auth, [auth = m_auth, email = m_email->text(), password = m_password->text()] {
        auth->login(email, password);
    });
}

} // namespace kelvo
