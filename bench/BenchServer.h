#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>

// Starts kelvo-server on a free port with the database at `databasePath` and answers with its
// base URL, or an empty text (after saying so on stderr) when it did not come up.
inline QString startKelvoServer(QProcess& server, const QString& databasePath, bool seedDemo,
                                const QStringList& extraArguments = {}) {
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                          databasePath};
    if (seedDemo) {
        arguments.append(QStringLiteral("--seed-demo"));
    }
    server.start(QStringLiteral(KELVO_SERVER_BINARY), arguments + extraArguments);
    QByteArray line;
    while (!line.contains('\n') && server.waitForReadyRead(30'000)) {
        line += server.readAllStandardOutput();
    }
    const QByteArray prefix = "Listening on ";
    if (!line.startsWith(prefix)) {
        std::fprintf(stderr, "kelvo-server did not start\n");
        return {};
    }
    return QString::fromUtf8(line.mid(prefix.size()).trimmed());
}

// A process's resident memory in MiB (0 when it cannot be read).
inline double residentMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
        }
    }
    return 0;
}
