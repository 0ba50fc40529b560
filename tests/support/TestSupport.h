#pragma once

#include "records/Diagnostics.h"

#include <QStringList>
#include <QTemporaryDir>

namespace kelvo::test {

// Points XDG_CONFIG_HOME at a fresh folder for the lifetime of the object, so the token file of
// the user running the tests is never touched.
class TemporaryConfigHome {
public:
    TemporaryConfigHome();
    ~TemporaryConfigHome();
    QString path() const { return m_dir.path(); }
    QString tokenFile() const;
    // The token as stored on disk, or nothing when there is no entry.
    std::optional<QString> storedToken() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Collects the diagnostic lines while it lives.
class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    const QStringList& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

} // namespace kelvo::test
