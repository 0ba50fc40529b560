// Kelvo.conf as the program finds it on disk, whatever wrote it: the stored sign-in and the
// preferences. What the program takes from the file it can store back, and a fresh read then
// finds the same sign-in and the same reminder.
#include "FuzzSupport.h"

#include "api/APIClient.h"
#include "records/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "state/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    // Never destroyed: Qt wants its application gone before the program's statics.
    new QCoreApplication(*argc, *argv);
    Diagnostics::setSink([](const QString&) {});
    QDir().mkpath(QFileInfo(SettingsStore::path()).absolutePath());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Qt keeps files it has read while their size and time stay the same: each input gets a
    // time of its own (after its bytes are written out), so it is read afresh.
    static qint64 inputs = 0;
    QFile file(SettingsStore::path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return 0;
    }
    file.write(fuzz::bytes(data, size));
    file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++inputs), QFileDevice::FileModificationTime);
    file.close();

    APIClient client(QStringLiteral("http://127.0.0.1:9"), &SettingsStore::tokenStore());
    Preferences preferences;
    const auto token = client.authToken();
    const int hours = preferences.reminderHours();
    if (token && client.setAuthToken(*token)) {
        fuzz::require(APIClient(QStringLiteral("http://127.0.0.1:9"), &SettingsStore::tokenStore()).authToken() == token,
                      "a stored sign-in read back the same");
    }
    if (preferences.readProblem().isEmpty() && preferences.setReminderHours(hours)) {
        fuzz::require(Preferences().reminderHours() == hours, "the reminder read back the same");
    }
    return 0;
}
