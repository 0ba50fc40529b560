#include "HttpProbe.h"

#include <QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>

namespace kelvo::test {

HttpProbe::Answer HttpProbe::send(const QByteArray& method, const QString& path, const QByteArray& body, const QString& token,
                                  const QList<QNetworkReply::RawHeaderPair>& headers) {
    QNetworkRequest request(QUrl(m_baseURL + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!token.isEmpty()) {
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    }
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    QNetworkReply* reply = m_network.sendCustomRequest(request, method, body);
    QCoro::waitFor(qCoro(reply).waitForFinished());
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.json = QJsonDocument::fromJson(answer.body).object();
    answer.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return answer;
}

QString HttpProbe::registerUser(const QString& email, const QString& password, const QByteArray& extra) {
    const QByteArray body =
        R"({"name":"Test User","email":")" + email.toUtf8() + R"(","password":")" + password.toUtf8() + "\"" + extra + "}";
    return send("POST", QStringLiteral("/auth/register"), body).json.value(QStringLiteral("token")).toString();
}

} // namespace kelvo::test
