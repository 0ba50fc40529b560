#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kelvo::test {

// The real kelvo-server executable (path from KELVO_SERVER_BINARY) on a free port.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();

    // The descriptor limits the server starts with (before start()).
    void limitDescriptors(quint64 soft, quint64 hard);
    // Starts the server on `databasePath` and waits for its "Listening on" line.
    bool start(const QString& databasePath, const QStringList& extraArguments = {});
    // SIGTERM, then waits for the exit; the exit code, or -1 when it crashed or hung.
    int terminate();
    // Waits for an exit already asked for (a second SIGTERM would cut the clean shutdown short).
    int waitForExit();
    QString baseURL() const { return m_baseURL; }
    // What the server wrote to standard error so far.
    QByteArray errorOutput() { return m_process.readAllStandardError(); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QString m_baseURL;
};

} // namespace kelvo::test
