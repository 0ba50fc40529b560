#pragma once

#include <QString>

#include <expected>

namespace kelvo {

// Start at login: an XDG autostart entry that runs this very executable, by its absolute path
// (an install into ~/.local may not be on the login session's PATH), with --hidden.
class Autostart {
public:
    // $XDG_CONFIG_HOME/autostart/app.kelvo.Kelvo.desktop.
    static QString entryPath();
    // On when the entry exists and is neither hidden nor disabled for GNOME.
    static bool isEnabled();
    // Writes or removes the entry; the error says why it could not.
    static std::expected<void, QString> setEnabled(bool enabled);
    // The desktop entry that starts `executable` hidden; the error says why it cannot (a path
    // with a line break, which launchers would split into another command).
    static std::expected<QByteArray, QString> entryText(const QString& executable);
};

} // namespace kelvo
