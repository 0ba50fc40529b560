// Kelvo.conf as the program finds it on disk, whatever wrote it: the stored sign-in and the
// preferences. A token taken from it is one that may be sent; a reminder is within its range.
#include "FuzzSupport.h"

#include "api/APIClient.h"
#include "records/BearerToken.h"
#include "records/Diagnostics.h"
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
    static QCoreApplication application(*argc, *argv);
    Diagnostics::setSink([](const QString&) {});
    QDir().mkpath(QFileInfo(APIClient::tokenFilePath()).absolutePath());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Qt keeps files it has read while their size and time stay the same: each input gets a
    // time of its own, so it is read afresh.
    static qint64 inputs = 0;
    QFile file(APIClient::tokenFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(fuzz::bytes(data, size));
    file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++inputs), QFileDevice::FileModificationTime);
    file.close();

    const APIClient client(QStringLiteral("http://127.0.0.1:9"));
    fuzz::require(!client.authToken() || isBearerToken(*client.authToken()), "a stored token is one that may be sent");
    const Preferences preferences;
    fuzz::require(preferences.reminderHours() >= 0 && preferences.reminderHours() <= Preferences::maxReminderHours,
                  "the reminder within its range");
    return 0;
}
