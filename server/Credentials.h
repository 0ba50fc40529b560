#pragma once

#include <QString>

namespace kelvo::server {

// Password hashing (PBKDF2-SHA256 with a per-user salt) and bearer tokens (256 random bits,
// stored only as a hash).
class Credentials {
public:
    static QString hashPassword(const QString& password, int iterations);
    static bool verifyPassword(const QString& password, const QString& stored);
    // How many passwords have been checked against a hash in this process.
    static int verificationCount();
    static QString newToken();
    static QString tokenHash(const QString& token);
    static QString newId();
};

} // namespace kelvo::server
