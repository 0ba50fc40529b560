#include "TestSupport.h"

#include "Json.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMetaMethod>
#include <QSettings>
#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace kelvo::test {

TemporaryConfigHome::TemporaryConfigHome()
    : m_previous(qgetenv("XDG_CONFIG_HOME"))
    , m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP"); // the panel text's default follows it: no desktop's here
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

void ClientFixture::serveNothingRunning() {
    server.on("GET", QStringLiteral("/time-entries/current"), FakeResponse::json(200, json::current()));
    server.on("GET", QStringLiteral("/time-entries"), FakeResponse::json(200, json::entries()));
    server.on("GET", QStringLiteral("/projects"), FakeResponse::json(200, json::projects()));
    server.on("GET", QStringLiteral("/tasks"), FakeResponse::json(200, json::tasks()));
    server.on("GET", QStringLiteral("/users/dashboard-earnings"), FakeResponse::json(200, json::earnings()));
}

void ViewFixture::showCurrent(const QByteArray& entry) {
    server.on("GET", QStringLiteral("/time-entries/current"), FakeResponse::json(200, json::current(entry)));
    QCoro::waitFor(timer.loadCurrentEntry());
}

bool ViewFixture::signIn() {
    server.on("POST", QStringLiteral("/auth/login"), FakeResponse::json(200, json::auth()));
    return QCoro::waitFor(auth.login(QStringLiteral("a@x.io"), QStringLiteral("pw"))).has_value();
}

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again as the probe goes
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

QStringList layoutFaults(QWidget* root) {
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QList<QWidget*> leaves;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (widget->isVisibleTo(root) && widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) {
            leaves.append(widget);
        }
    }
    QStringList faults;
    const auto name = [](QWidget* w) { return QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName(); };
    for (QWidget* leaf : leaves) {
        const auto* label = qobject_cast<QLabel*>(leaf);
        const int neededHeight = label && label->wordWrap() ? label->heightForWidth(leaf->width()) : leaf->sizeHint().height();
        if (leaf->width() < leaf->minimumSizeHint().width() || leaf->height() < neededHeight) {
            faults.append(name(leaf) + u" squeezed"_s);
        }
        const QRect inRoot(leaf->mapTo(root, QPoint()), leaf->size());
        // What lies in a scroll area is scrolled to, not cut off.
        const auto scrolled = [leaf] {
            for (QWidget* up = leaf->parentWidget(); up; up = up->parentWidget()) {
                if (qobject_cast<QAbstractScrollArea*>(up)) {
                    return true;
                }
            }
            return false;
        };
        if (!root->rect().contains(inRoot) && !scrolled()) {
            faults.append(name(leaf) + u" outside"_s);
        }
        for (QWidget* other : leaves) {
            if (other != leaf && other->parentWidget() == leaf->parentWidget() && leaf < other &&
                leaf->geometry().intersects(other->geometry())) {
                faults.append(name(leaf) + u" overlaps "_s + name(other));
            }
        }
    }
    return faults;
}

void SignalLog::record() {
    m_names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
}

} // namespace kelvo::test
