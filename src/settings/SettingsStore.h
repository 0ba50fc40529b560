#pragma once

#include "api/TokenStore.h"

#include <QString>
#include <QVariantMap>

#include <expected>
#include <optional>

namespace kelvo {

// Kelvo.conf, the one file the program keeps: the sign-in and a few preferences, each a text
// under its key, read and written through the typed accessors below. The file is read only when it is a plain file of a sane size that Qt's parser
// can take safely; anything else is ignored (said once) and never rewritten. Writes keep the
// file the user's alone in a folder of the user's alone and leave the other entries as they are.
class SettingsStore {
public:
    // The largest file read; a bigger one is not Kelvo's.
    static constexpr qint64 largestFile = 1024 * 1024;

    // $XDG_CONFIG_HOME/Kelvo/Kelvo.conf.
    static QString path();
    // Every entry of the file (none when there is no file), or why it is not read.
    static std::expected<QVariantMap, QString> read();
    // The text under `key`; nothing when it is absent, not a text, or the file is not read.
    static std::optional<QString> text(const QString& key);
    // The error says why the file could not take the change.
    static std::expected<void, QString> store(const QString& key, const QString& value);
    static std::expected<void, QString> remove(const QString& key);

    // The entries the program keeps, beside the sign-in.
    enum class Key {
        panelText,            // panel_text: elapsed, minutes, off or icon
        reminderHours,        // reminder_hours: 0 to 24
        remindedEntry,        // reminded_entry: an entry id
        pendingStop,          // pending_stop: an entry id
        awayIdleMinutes,      // away_idle_minutes: 0, 5, 10, 15, 30 or 60
        awayOnLock,           // away_on_lock: stop or nothing
        awayOnSleep,          // away_on_sleep: stop or nothing
        startReminderMinutes, // start_reminder_minutes: 0, or 5 to 120
        workHours,            // work_hours: "Mon-Fri 09:00-17:00"
        weeklyTargetHours,    // weekly_target_hours: 0 to 168
    };
    // The entry's text; nothing when it is unset, not a text, or the file is not read.
    static std::optional<QString> value(Key key);
    // The entry's text in entries read before (see read()).
    static std::optional<QString> value(const QVariantMap& entries, Key key);
    // Nothing removes the entry. An entry id is kept only when it is plain (see isPlainValue).
    static std::expected<void, QString> setValue(Key key, const std::optional<QString>& value);
    // The sign-in, for the API client.
    static TokenStore& tokenStore();
    // Whether `value` can be kept as it is: entry ids from the server are kept only when they
    // are plain (letters, digits and "-._~"), so no answer can make the file one Kelvo refuses.
    static bool isPlainValue(QStringView value);
    // Whether the file's text holds a value Qt would decode as a serialised variant (Kelvo writes
    // none; Qt's decoder crashes on deep nesting). Escapes are read as Qt reads them.
    static bool holdsVariant(const QByteArray& text);

private:
    static std::expected<void, QString> change(const QString& key,
                                               const std::optional<QString>& value);
};

} // namespace kelvo
