#pragma once

#include <QObject>

#include <chrono>

class QNetworkReply;

namespace kelvo {

// Keeps one reply within its bounds: collects its answer as it comes and ends it when it
// outlives its deadline or when the answer grows beyond the size cap (declared or counted), and
// remembers why. Ending is queued, never done
// inside the reply's own signal, because the request that waits for the reply resumes as soon
// as it finishes.
class ReplyWatch : public QObject {
    Q_OBJECT
public:
    enum class Stop { none, timedOut, tooLarge };
    // What Qt itself holds unread at most; the rest is collected here.
    static constexpr qint64 replyBufferBytes = 64 * 1024;

    ReplyWatch(QNetworkReply* reply, std::chrono::milliseconds deadline, qint64 maxAnswerBytes);

    Stop stop() const { return m_stop; }
    // The whole answer, once the reply has finished within its bounds.
    QByteArray takeBody();
    // The most answer bytes held at once, here and in the reply's own buffer.
    qint64 peakBuffered() const { return m_peakBuffered; }

private:
    void checkDeclaredSize();
    void collect();
    void end(Stop reason);

    QNetworkReply* m_reply;
    qint64 m_maxAnswerBytes;
    qint64 m_peakBuffered = 0;
    QByteArray m_body;
    Stop m_stop = Stop::none;
};

} // namespace kelvo
