#include "RegisterView.h"

#include "AuthForm.h"
#include "records/Formatting.h"
#include "state/AuthViewModel.h"
#include "ui/Appearance.h"
#include "ui/FieldEdit.h"
#include "ui/PrimaryButton.h"
#include "ui/Schedule.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kelvo {

namespace {

// Canonically equivalent texts (composed or decomposed accents) count as the same password.
bool samePassword(const QString& a, const QString& b) {
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

} // namespace

RegisterView::RegisterView(AuthViewModel* auth, QWidget* parent)
    : QWidget(parent)
    , m_auth(auth)
    , m_form(new AuthForm(QStringLiteral("person.crop.circle.fill.badge.plus"),
                          QStringLiteral("Create your account"),
                          QStringLiteral("Start tracking your time today"))) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    m_name = m_form->addField(QStringLiteral("nameField"), QStringLiteral("Full Name"),
                              QStringLiteral("Enter your full name"), false);
    m_email = m_form->addField(QStringLiteral("emailField"), QStringLiteral("Email Address"),
                               QStringLiteral("Enter your email"), false);
    m_password = m_form->addField(QStringLiteral("passwordField"), QStringLiteral("Password"),
                                  QStringLiteral("Enter your password"), true);
    m_confirmPassword =
        m_form->addField(QStringLiteral("confirmPasswordField"), QStringLiteral("Confirm Password"),
                         QStringLiteral("Confirm your password"), true);
    m_mismatch = m_form->addWarning(QStringLiteral("mismatchLabel"),
                                    QStringLiteral("Passwords do not match"));
    m_button =
        m_form->finish(QStringLiteral("Already have an account?"), QStringLiteral("Sign in"));

    connect(m_form, &AuthForm::switchRequested, this, &RegisterView::showLoginRequested);
    connect(m_button, &PrimaryButton::clicked, this, &RegisterView::submitRegistration);
    connect(m_confirmPassword, &QLineEdit::textChanged, this, &RegisterView::validatePasswords);
    connect(m_password, &QLineEdit::textChanged, this, &RegisterView::validatePasswords);
    for (FieldEdit* field : {m_name, m_email}) {
        connect(field, &QLineEdit::textChanged, this, &RegisterView::refresh);
    }
    connect(m_auth, &AuthViewModel::isLoadingChanged, this, &RegisterView::refresh);
    connect(m_auth, &AuthViewModel::errorMessageChanged, this, &RegisterView::refresh);
    new Appearance(this, [this] { m_auth->clearErrorMessage(); });
    refresh();
}

bool RegisterView::isFormValid() const {
    return !m_name->text().trimmed().isEmpty() && !m_email->text().trimmed().isEmpty() &&
           perceivedLength(m_password->text()) >= 6 &&
           samePassword(m_password->text(), m_confirmPassword->text());
}

void RegisterView::validatePasswords() {
    m_showingPasswordMismatchError = !m_confirmPassword->text().isEmpty() &&
                                     !samePassword(m_password->text(), m_confirmPassword->text());
    refresh();
}

void RegisterView::refresh() {
    const bool loading = m_auth->isLoading();
    const bool valid = isFormValid();
    m_button->setText(loading ? QStringLiteral("Creating Account...")
                              : QStringLiteral("Create Account"));
    m_button->setBusy(loading);
    m_button->setFill(valid ? Theme::blueFill() : Theme::grey());
    m_button->setEnabled(valid && !loading);
    m_mismatch->setVisible(m_showingPasswordMismatchError);
    m_confirmPassword->setOutline(m_showingPasswordMismatchError ? Theme::red() : Qt::transparent);
    m_form->setError(m_auth->errorMessage());
}

void RegisterView::submitRegistration() {
    if (!isFormValid()) {
        return;
    }
    schedule(m_auth, [auth = m_auth, name = m_name->text().trimmed(),
                      email = m_email->text().trimmed().toLower(), password = m_password->text()] {
        auth->registerAccount(name, email, password, std::nullopt, std::nullopt);
    });
}

} // namespace kelvo
