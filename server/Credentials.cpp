#include "Credentials.h"

#include <atomic>

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace kelvo::server {

namespace {

constexpr int keyLength = 32;

QByteArray randomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes) {
        byte = char(QRandomGenerator::system()->bounded(256));
    }
    return bytes;
}

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, keyLength);
}

// Compares without stopping at the first difference, so timing tells nothing about the hash.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

} // namespace

QString Credentials::hashPassword(const QString& password, int iterations) {
    const QByteArray salt = randomBytes(16);
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()),
             QString::fromLatin1(derive(password, salt, iterations).toBase64()));
}

namespace {
std::atomic<int> verifications{0};
} // namespace

int Credentials::verificationCount() {
    return verifications.load();
}

bool Credentials::verifyPassword(const QString& password, const QString& stored) {
    ++verifications;
    const QStringList parts = stored.split(u'$');
    if (parts.size() != 4 || parts[0] != QStringLiteral("pbkdf2-sha256")) {
        return false;
    }
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1) {
        return false;
    }
    const QByteArray salt = QByteArray::fromBase64(parts[2].toLatin1());
    const QByteArray expected = QByteArray::fromBase64(parts[3].toLatin1());
    return sameBytes(derive(password, salt, iterations), expected);
}

QString Credentials::newToken() {
    return QString::fromLatin1(
        randomBytes(32).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString Credentials::tokenHash(const QString& token) {
    return QString::fromLatin1(
        QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString Credentials::newId() {
    return QString::fromLatin1(randomBytes(12).toHex());
}

} // namespace kelvo::server
