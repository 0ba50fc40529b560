#pragma once

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
