#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QTest>

#include <sys/resource.h>

namespace kelvo::test {

ServerProcess::~ServerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        terminate();
    }
}

void ServerProcess::limitDescriptors(quint64 soft, quint64 hard) {
    m_process.setChildProcessModifier([soft, hard] {
        const rlimit limit{soft, hard};
        setrlimit(RLIMIT_NOFILE, &limit);
    });
}

bool ServerProcess::start(const QString& databasePath, const QStringList& extraArguments) {
    // Standard error is kept for the test to read (see errorOutput()).
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(KELVO_SERVER_BINARY),
                    QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"), databasePath} +
                        extraArguments);
    if (!m_process.waitForStarted(10'000)) {
        return false;
    }
    QByteArray output;
    QDeadlineTimer deadline(60'000);
    while (!output.contains('\n') && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        output += m_process.readAllStandardOutput();
    }
    const QByteArray prefix = "Listening on ";
    if (!output.startsWith(prefix)) {
        return false;
    }
    m_baseURL = QString::fromUtf8(output.mid(prefix.size()).trimmed());
    return true;
}

int ServerProcess::terminate() {
    m_process.terminate();
    return waitForExit();
}

int ServerProcess::waitForExit() {
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(30'000)) {
        m_process.kill();
        m_process.waitForFinished();
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

} // namespace kelvo::test
