#include "TestSupport.h"

#include "api/APIClient.h"

#include <QSettings>

namespace kelvo::test {

TemporaryConfigHome::TemporaryConfigHome()
    : m_previous(qgetenv("XDG_CONFIG_HOME"))
    , m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TemporaryConfigHome::~TemporaryConfigHome() {
    if (m_hadPrevious) {
        qputenv("XDG_CONFIG_HOME", m_previous);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
    }
}

QString TemporaryConfigHome::tokenFile() const {
    return m_dir.path() + QStringLiteral("/Kelvo/Kelvo.conf");
}

std::optional<QString> TemporaryConfigHome::storedToken() const {
    QSettings settings(tokenFile(), QSettings::IniFormat);
    const QVariant value = settings.value(QStringLiteral("kelvo_auth_token"));
    return value.isValid() ? std::optional(value.toString()) : std::nullopt;
}

DiagnosticsCapture::DiagnosticsCapture() {
    Diagnostics::setSink([this](const QString& line) { m_lines.append(line); });
}

DiagnosticsCapture::~DiagnosticsCapture() {
    Diagnostics::setSink({});
}

} // namespace kelvo::test
