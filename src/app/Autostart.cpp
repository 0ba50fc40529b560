#include "Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// One argument of an Exec line, quoted as the desktop entry format asks: inside double quotes,
// a backslash before ", `, $ and \; a % doubled (field codes are expanded even in quotes); then
// the escapes of the string value itself (\\, \t). Line breaks never get here.
QString quotedArgument(const QString& argument) {
    QString quoted;
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c == u'%' ? u"%%"_s : QString(c);
    }
    // The desktop entry's own escapes, the backslash first.
    QString value = u'"' + quoted + u'"';
    return value.replace(u"\\"_s, u"\\\\"_s).replace(u"\t"_s, u"\\t"_s);
}

} // namespace

QString Autostart::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/app.kelvo.Kelvo.desktop"_s;
}

bool Autostart::isEnabled() {
    const QString path = entryPath();
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(u"Desktop Entry"_s);
    const auto isTrue = [&entry](const QString& key, const QString& fallback) {
        return entry.value(key, fallback).toString().trimmed() == u"true";
    };
    return entry.status() == QSettings::NoError && !isTrue(u"Hidden"_s, u"false"_s) &&
           isTrue(u"X-GNOME-Autostart-enabled"_s, u"true"_s);
}

std::expected<QByteArray, QString> Autostart::entryText(const QString& executable) {
    if (executable.contains(u'\n') || executable.contains(u'\r')) {
        return std::unexpected(u"Kelvo's path holds a line break, which a login entry cannot "
                               "carry: %1"_s.arg(QString(executable).replace(u'\n', u' ').replace(u'\r', u' ')));
    }
    return (u"[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Kelvo\n"
            "Comment=Track your time and see what it is worth\n"
            "Exec="_s +
            quotedArgument(executable) +
            u" --hidden\n"
            "Icon=app.kelvo.Kelvo\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n"_s)
        .toUtf8();
}

std::expected<void, QString> Autostart::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            return std::unexpected(u"Could not remove %1."_s.arg(path));
        }
        return {};
    }
    const auto text = entryText(QCoreApplication::applicationFilePath());
    if (!text) {
        return std::unexpected(text.error());
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return std::unexpected(u"Could not create the folder %1."_s.arg(folder));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return std::unexpected(u"Could not write %1: %2"_s.arg(path, file.errorString()));
    }
    file.write(*text);
    if (!file.commit()) {
        return std::unexpected(u"Could not write %1: %2"_s.arg(path, file.errorString()));
    }
    return {};
}

} // namespace kelvo
