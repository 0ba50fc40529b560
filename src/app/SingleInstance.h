#pragma once

#include <QObject>

class QLocalServer;

namespace kelvo {

// One running program per user: the first launch listens on a socket in the user's runtime
// folder; a later launch finds it, asks it to bring its window forward and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Listens at `socketPath` (defaultSocketPath() in the program).
    explicit SingleInstance(const QString& socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    bool isListening() const;
    static QString defaultSocketPath();
    // True when another instance answered at `socketPath` and was asked to show its window.
    static bool notifyRunning(const QString& socketPath);

Q_SIGNALS:
    void activationRequested();

private:
    QLocalServer* m_server;
};

} // namespace kelvo
