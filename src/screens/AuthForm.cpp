#include "AuthForm.h"

#include "ui/Alerts.h"
#include "ui/Decoration.h"

#include "ui/FieldEdit.h"
#include "ui/Labels.h"
#include "ui/LinkButton.h"
#include "ui/PrimaryButton.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvo {

namespace {

QLabel* redCaption(const QString& objectName) {
    auto* label = makeLabel(objectName, {}, Theme::font(Theme::TextStyle::caption), Theme::red());
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->hide();
    Alerts::mark(label);
    return label;
}

} // namespace

AuthForm::AuthForm(const QString& symbol, const QString& title, const QString& subtitle,
                   QWidget* parent)
    : QWidget(parent)
    , m_form(new QVBoxLayout) {
    setAutoFillBackground(true); // the window background colour of the palette
    auto* header = new QVBoxLayout;
    header->setSpacing(16);
    auto* icon = new Decoration(this, QSize(60, 60));
    icon->setPixmap(Symbols::pixmap(symbol, Theme::blue(), 60, devicePixelRatioF()));
    icon->addTo(header);
    auto* titleLabel =
        makeLabel(QStringLiteral("title"), title, Theme::font(Theme::TextStyle::title, QFont::Bold),
                  Theme::primaryText());
    titleLabel->setAlignment(Qt::AlignHCenter);
    header->addWidget(titleLabel);
    auto* subtitleLabel =
        makeLabel(QStringLiteral("subtitle"), subtitle, Theme::font(Theme::TextStyle::subheadline),
                  Theme::secondaryText());
    subtitleLabel->setAlignment(Qt::AlignHCenter);
    header->addWidget(subtitleLabel);

    m_form->setSpacing(20);
    m_form->setContentsMargins(40, 0, 40, 0);

    auto* screen = new QVBoxLayout(this);
    // Room above and below that is kept when the form is at its fullest, so that nothing drawn
    // runs to the window's edges.
    screen->setContentsMargins(0, 12, 0, 12);
    screen->setSpacing(0);
    screen->addStretch();
    screen->addLayout(header);
    // 40 px below the header, which give way first when a form with every warning showing
    // would not fit the window otherwise.
    screen->addItem(new QSpacerItem(0, 40, QSizePolicy::Minimum, QSizePolicy::Preferred));
    screen->addLayout(m_form);
    screen->addStretch();
}

FieldEdit* AuthForm::addField(const QString& objectName, const QString& label,
                              const QString& placeholder, bool hidden) {
    auto* block = new QVBoxLayout;
    block->setSpacing(8);
    block->addWidget(
        makeLabel({}, label, Theme::font(Theme::TextStyle::headline), Theme::primaryText()));
    auto* field = new FieldEdit(placeholder);
    field->setObjectName(objectName);
    field->setAccessibleName(label);
    if (hidden) {
        field->setEchoMode(QLineEdit::Password);
    }
    block->addWidget(field);
    m_form->addLayout(block);
    return field;
}

QLabel* AuthForm::addWarning(const QString& objectName, const QString& text) {
    QLabel* warning = redCaption(objectName);
    warning->setText(text);
    notes()->addWidget(warning);
    return warning;
}

QVBoxLayout* AuthForm::notes() {
    // The warnings and the server's error are one item of the form, lines close together.
    if (!m_notes) {
        m_notes = new QVBoxLayout;
        m_notes->setSpacing(8);
        m_form->addLayout(m_notes);
    }
    return m_notes;
}

QLabel* AuthForm::addNotice(const QString& objectName, const QString& text) {
    auto* notice =
        makeLabel(objectName, text, Theme::font(Theme::TextStyle::caption), Theme::secondaryText());
    notice->setAlignment(Qt::AlignHCenter);
    notice->setWordWrap(true);
    notice->hide();
    m_form->insertWidget(0, notice);
    return notice;
}

PrimaryButton* AuthForm::finish(const QString& switchText, const QString& switchButton) {
    m_error = redCaption(QStringLiteral("errorLabel"));
    notes()->addWidget(m_error);
    auto* button = new PrimaryButton;
    button->setObjectName(QStringLiteral("primaryButton"));
    m_form->addWidget(button);

    // One sentence, centred: the question, a space, then the link.
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 10, 0, 0);
    row->setSpacing(fontMetrics().horizontalAdvance(u' '));
    row->addStretch();
    row->addWidget(
        makeLabel(QStringLiteral("switchText"), switchText, font(), Theme::secondaryText()));
    auto* link = new LinkButton(switchButton, Theme::blue());
    link->setObjectName(QStringLiteral("switchButton"));
    connect(link, &LinkButton::clicked, this, &AuthForm::switchRequested);
    row->addWidget(link);
    row->addStretch();
    m_form->addLayout(row);
    return button;
}

void AuthForm::setError(const std::optional<QString>& error) {
    Alerts::show(m_error, error);
}

} // namespace kelvo
