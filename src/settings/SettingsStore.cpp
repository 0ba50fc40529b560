#include "SettingsStore.h"

#include "records/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// The file's bytes, nothing when there is no file, or why it is not one to read. Checked
// without following a link and opened without waiting (a FIFO would block a plain open), then
// checked again on what was opened, so nothing swapped in between is read.
std::expected<std::optional<QByteArray>, QString> guardedBytes(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        return std::unexpected(u"it cannot be looked at"_s);
    }
    const auto checked = [](const struct stat& s) -> std::expected<void, QString> {
        if (!S_ISREG(s.st_mode)) {
            return std::unexpected(u"it is not a regular file"_s);
        }
        if (s.st_size > SettingsStore::largestFile) {
            return std::unexpected(u"it is larger than 1 MiB"_s);
        }
        return {};
    };
    if (auto ok = checked(info); !ok) {
        return std::unexpected(ok.error());
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return std::unexpected(u"it cannot be opened"_s);
    }
    QFile file;
    if (::fstat(fd, &info) != 0 || !checked(info) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::unexpected(u"it is not a regular file"_s);
    }
    QByteArray bytes = file.read(SettingsStore::largestFile + 1);
    if (bytes.size() > SettingsStore::largestFile) {
        return std::unexpected(u"it is larger than 1 MiB"_s);
    }
    return bytes;
}

// Qt's settings as parsed from `bytes`: through a private copy, since Qt keeps a file it has
// parsed once and tells a fault only to its first reader. The copy holds the sign-in, so it is
// made beside the file, in the user's own folder; where it cannot be, the file itself is read.
std::expected<QVariantMap, QString> parsed(const QString& path, const QByteArray& bytes) {
    QTemporaryFile copy(QFileInfo(path).absolutePath() + u"/.read-XXXXXX"_s);
    const bool copied = copy.open() && copy.write(bytes) == bytes.size() && copy.flush();
    const QSettings settings(copied ? copy.fileName() : path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        return std::unexpected(u"Qt cannot read it"_s);
    }
    QVariantMap entries;
    for (const QString& key : settings.allKeys()) {
        entries.insert(key, settings.value(key));
    }
    return entries;
}

const QString tokenKey = u"kelvo_auth_token"_s;

QString nameOf(SettingsStore::Key key) {
    using Key = SettingsStore::Key;
    switch (key) {
    case Key::panelText:
        return u"panel_text"_s;
    case Key::reminderHours:
        return u"reminder_hours"_s;
    case Key::remindedEntry:
        return u"reminded_entry"_s;
    case Key::pendingStop:
        return u"pending_stop"_s;
    case Key::awayIdleMinutes:
        return u"away_idle_minutes"_s;
    case Key::awayOnLock:
        return u"away_on_lock"_s;
    case Key::awayOnSleep:
        return u"away_on_sleep"_s;
    case Key::startReminderMinutes:
        return u"start_reminder_minutes"_s;
    case Key::workHours:
        return u"work_hours"_s;
    case Key::weeklyTargetHours:
        break;
    }
    return u"weekly_target_hours"_s;
}

// The sign-in, kept in the file beside the preferences.
class FileTokenStore : public TokenStore {
public:
    std::optional<QString> token() const override { return SettingsStore::text(tokenKey); }
    std::expected<void, QString> keep(const QString& token) override {
        return SettingsStore::store(tokenKey, token);
    }
    std::expected<void, QString> forget() override { return SettingsStore::remove(tokenKey); }
    QString place() const override { return SettingsStore::path(); }
};

void reportOnce(const QString& problem) {
    static QString reported;
    const QString line =
        u"Ignoring "_s + SettingsStore::path() + u": "_s + problem + u"; it is left as it is"_s;
    if (line != reported) {
        reported = line;
        Diagnostics::print(line);
    }
}

int digitValue(QChar c, int base) {
    const int v = c.isDigit() ? c.digitValue() : (c.toLower() >= u'a' && c.toLower() <= u'f')
                                                     ? c.toLower().unicode() - u'a' + 10
                                                     : -1;
    return v >= 0 && v < base ? v : -1;
}

} // namespace

QString SettingsStore::path() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/Kelvo/Kelvo.conf"_s;
}

bool SettingsStore::holdsVariant(const QByteArray& text) {
    // Unescaped as Qt's reader does: \x and octal escapes greedily, any other escaped character
    // as itself, a backslash at a line's end joins the next line.
    const QString raw = QString::fromUtf8(text);
    QString plain;
    plain.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != u'\\' || i + 1 == raw.size()) {
            plain += raw[i];
            continue;
        }
        const QChar next = raw[++i];
        const bool hex = next == u'x';
        const int base = hex ? 16 : 8;
        if (!hex && digitValue(next, 8) < 0) {
            if (next != u'\n' && next != u'\r') {
                plain += next;
            }
            continue;
        }
        char16_t value = 0;
        qsizetype at = hex ? i + 1 : i;
        for (; at < raw.size() && digitValue(raw[at], base) >= 0; ++at) {
            value = char16_t(value * base + digitValue(raw[at], base));
        }
        plain += QChar(value);
        i = at - 1;
    }
    // A value Qt decodes begins with "@Variant("; "@@" keeps the rest as text.
    static const QString variant = u"@Variant("_s;
    for (qsizetype at = plain.indexOf(variant); at >= 0; at = plain.indexOf(variant, at + 1)) {
        if (at == 0 || plain[at - 1] != u'@') {
            return true;
        }
    }
    return false;
}

std::expected<QVariantMap, QString> SettingsStore::read() {
    const QString file = path();
    auto bytes = guardedBytes(file);
    if (bytes && !*bytes) {
        return QVariantMap();
    }
    std::expected<QVariantMap, QString> entries;
    if (!bytes) {
        entries = std::unexpected(bytes.error());
    } else if (holdsVariant(**bytes)) {
        entries = std::unexpected(u"it holds a serialised value Kelvo never writes"_s);
    } else {
        entries = parsed(file, **bytes);
    }
    if (!entries) {
        reportOnce(entries.error());
        return std::unexpected(u"cannot read "_s + file + u": "_s + entries.error() +
                               u"; it is left as it is"_s);
    }
    return entries;
}

std::optional<QString> SettingsStore::text(const QString& key) {
    const auto entries = read();
    if (!entries) {
        return std::nullopt;
    }
    const QVariant value = entries->value(key);
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

std::expected<void, QString> SettingsStore::store(const QString& key, const QString& value) {
    return change(key, value);
}

std::expected<void, QString> SettingsStore::remove(const QString& key) {
    if (!QFileInfo::exists(path())) {
        return {};
    }
    return change(key, std::nullopt);
}

std::expected<void, QString> SettingsStore::change(const QString& key,
                                                   const std::optional<QString>& value) {
    const QString file = path();
    const QString folder = QFileInfo(file).absolutePath();
    // The folder is the user's alone before the sign-in is written into it, and the file stays
    // the user's alone whatever is written into it.
    if (!QDir().mkpath(folder)) {
        return std::unexpected(u"cannot create "_s + folder);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Qt would rewrite a file it could not read without the lines it could not parse.
    if (auto readable = read(); !readable) {
        return std::unexpected(readable.error());
    }
    QSettings settings(file, QSettings::IniFormat);
    if (value) {
        settings.setValue(key, *value);
    } else {
        settings.remove(key);
    }
    settings.sync();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    if (settings.status() != QSettings::NoError || !QFileInfo(file).isFile()) {
        return std::unexpected(u"cannot write "_s + file);
    }
    return {};
}

std::optional<QString> SettingsStore::value(Key key) {
    return text(nameOf(key));
}

std::optional<QString> SettingsStore::value(const QVariantMap& entries, Key key) {
    const QVariant value = entries.value(nameOf(key));
    return value.typeId() == QMetaType::QString ? std::optional(value.toString()) : std::nullopt;
}

std::expected<void, QString> SettingsStore::setValue(Key key, const std::optional<QString>& value) {
    if (!value) {
        return remove(nameOf(key));
    }
    const bool entryId = key == Key::remindedEntry || key == Key::pendingStop;
    if (entryId && !isPlainValue(*value)) {
        return std::unexpected(u"the entry id is not one the settings file keeps"_s);
    }
    return store(nameOf(key), *value);
}

TokenStore& SettingsStore::tokenStore() {
    static FileTokenStore store;
    return store;
}

bool SettingsStore::isPlainValue(QStringView value) {
    constexpr qsizetype longest = 256;
    return !value.isEmpty() && value.size() <= longest &&
           std::all_of(value.begin(), value.end(), [](QChar c) {
               return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                      (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'_' ||
                      c == u'~';
           });
}

} // namespace kelvo
