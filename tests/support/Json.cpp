#include "Json.h"

namespace kelvo::test::json {

QByteArray entry(const QByteArray& id, bool running, const QByteArray& start, const QByteArray& extra) {
    return R"({"id":")" + id + R"(","startTime":")" + start + R"(","isRunning":)" + (running ? "true" : "false") +
           (running ? "" : R"(,"duration":65)") + extra + "}";
}

QByteArray ratedEntry(const QByteArray& id, bool running, double rate) {
    return entry(
        id, running, "2025-03-01T10:00:00.000Z",
        R"(,"hourlyRateSnapshot":)" + QByteArray::number(rate) +
            R"(,"projectId":"p1","taskId":"t1","description":"Notes","project":{"id":"p1","name":"Web"},"task":{"id":"t1","name":"Build"})");
}

QByteArray current(const QByteArray& entry) {
    return R"({"timeEntry":)" + entry + "}";
}

QByteArray timer(const QByteArray& entry) {
    return R"({"message":"ok","timeEntry":)" + entry + "}";
}

QByteArray entries(const QList<QByteArray>& items) {
    return R"({"entries":[)" + items.join(',') + "]}";
}

QByteArray projects() {
    return R"({"projects":[{"id":"p1","name":"Web","color":"#10B981","isActive":true},{"id":"p2","name":"App","isActive":true},)"
           R"({"id":"old","name":"Old","isActive":false}]})";
}

QByteArray tasks() {
    return R"({"tasks":[{"id":"t1","name":"Build","isCompleted":false}]})";
}

QByteArray earnings(double today, qint64 todayDuration, double week, qint64 weekDuration) {
    return R"({"earnings":{"currentTimer":{"earnings":0.5,"duration":100,"isRunning":true,"hourlyRate":36},"today":{"earnings":)" +
           QByteArray::number(today) + R"(,"duration":)" + QByteArray::number(todayDuration) + R"(},"thisWeek":{"earnings":)" +
           QByteArray::number(week) + R"(,"duration":)" + QByteArray::number(weekDuration) + "}}}";
}

QByteArray auth(const QByteArray& token) {
    return R"({"message":"ok","user":{"id":"u1","name":"Ada","email":"ada@x.io"},"token":")" + token + "\"}";
}

QByteArray user() {
    return R"({"user":{"id":"u1","name":"Ada","email":"ada@x.io"}})";
}

} // namespace kelvo::test::json
