#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QString>

namespace kelvo::test {

// Raw HTTP requests for server tests: any method, path, body and token, and the answer's status
// and JSON object as they came.
class HttpProbe {
public:
    struct Answer {
        int status = 0;
        QByteArray body;
        QJsonObject json;
        QList<QNetworkReply::RawHeaderPair> headers;
        QByteArray header(const QByteArray& name) const {
            for (const auto& [key, value] : headers) {
                if (key.compare(name, Qt::CaseInsensitive) == 0) {
                    return value;
                }
            }
            return {};
        }
        QString error() const { return json.value(QStringLiteral("error")).toString(); }
    };

    explicit HttpProbe(QString baseURL) : m_baseURL(std::move(baseURL)) {}
    const QString& baseURL() const { return m_baseURL; }

    Answer send(const QByteArray& method, const QString& path, const QByteArray& body = {}, const QString& token = {},
                const QList<QNetworkReply::RawHeaderPair>& headers = {});
    Answer get(const QString& path, const QString& token) { return send("GET", path, {}, token); }
    Answer post(const QString& path, const QByteArray& body, const QString& token = {}) {
        return send("POST", path, body, token);
    }
    // Registers a user and answers with its token (empty on failure).
    QString registerUser(const QString& email, const QString& password = QStringLiteral("secret1"), const QByteArray& extra = {});

private:
    QString m_baseURL;
    QNetworkAccessManager m_network;
};

} // namespace kelvo::test
