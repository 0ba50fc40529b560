#include "TestSupport.h"

#include "api/APIClient.h"

#include <QMetaMethod>
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

SignalLog::SignalLog(QObject* watched) {
    const QMetaObject* meta = watched->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal && method.name().endsWith("Changed")) {
            connect(watched, method, this, slot);
        }
    }
}

void SignalLog::record() {
    m_names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
}

} // namespace kelvo::test
