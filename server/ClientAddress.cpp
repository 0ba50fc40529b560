#include "ClientAddress.h"

#include <QRegularExpression>

#include <algorithm>

namespace kelvo::server {

namespace {

// "a.b.c.d", "a.b.c.d:port", "v6" or "[v6]:port": the address, or null.
QHostAddress entryAddress(const QString& entry) {
    static const QRegularExpression withPort(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(\[([^\]]+)\](?::[0-9]{1,5})?|([0-9.]+):[0-9]{1,5})")));
    if (const auto match = withPort.match(entry); match.hasMatch()) {
        return QHostAddress(match.hasCaptured(1) ? match.captured(1) : match.captured(2));
    }
    return QHostAddress(entry);
}

} // namespace

QString ClientAddress::key(const QHostAddress& address) {
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    if (!isV4 && address.protocol() == QAbstractSocket::IPv6Protocol) {
        Q_IPV6ADDR bytes = address.toIPv6Address();
        std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8(0));
        return QHostAddress(bytes).toString() + QStringLiteral("/64");
    }
    return address.toString();
}

QString ClientAddress::forwarded(const HttpRequest& request) {
    QByteArray last;
    for (const auto& [name, value] : request.headers) {
        if (name.compare("X-Forwarded-For", Qt::CaseInsensitive) == 0) {
            last = value.mid(value.lastIndexOf(',') + 1);
        }
    }
    const QHostAddress address = entryAddress(QString::fromLatin1(last).trimmed());
    // No address gives this key.
    return address.isNull() ? QStringLiteral("not an address") : key(address);
}

} // namespace kelvo::server
