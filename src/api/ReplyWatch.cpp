#include "ReplyWatch.h"

#include <QNetworkReply>
#include <QTimer>

namespace kelvo {

ReplyWatch::ReplyWatch(QNetworkReply* reply, std::chrono::milliseconds deadline,
                       qint64 maxAnswerBytes)
    : m_reply(reply)
    , m_maxAnswerBytes(maxAnswerBytes) {
    reply->setReadBufferSize(replyBufferBytes);
    QTimer::singleShot(deadline, this, [this] { end(Stop::timedOut); });
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyWatch::checkDeclaredSize);
    connect(reply, &QNetworkReply::readyRead, this, &ReplyWatch::collect);
}

void ReplyWatch::checkDeclaredSize() {
    const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (declared.isValid() && declared.toLongLong() > m_maxAnswerBytes) {
        end(Stop::tooLarge);
    }
}

void ReplyWatch::collect() {
    if (m_stop == Stop::tooLarge) {
        return;
    }
    m_peakBuffered = std::max(m_peakBuffered, m_body.size() + m_reply->bytesAvailable());
    // One byte more than allowed is how an answer too large shows itself.
    m_body +=
        m_reply->read(std::min(m_reply->bytesAvailable(), m_maxAnswerBytes + 1 - m_body.size()));
    if (m_body.size() > m_maxAnswerBytes) {
        m_body = QByteArray();
        end(Stop::tooLarge);
    }
}

QByteArray ReplyWatch::takeBody() {
    collect();
    return std::exchange(m_body, {});
}

void ReplyWatch::end(Stop reason) {
    if (m_stop != Stop::none || (reason == Stop::timedOut && m_reply->isFinished())) {
        return;
    }
    // Too large stays too large, also when the rest arrives before the abort runs.
    m_stop = reason;
    if (!m_reply->isFinished()) {
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
    }
}

} // namespace kelvo
