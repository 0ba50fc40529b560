#include "records/Formatting.h"
#include "records/TimeEntry.h"
#include "records/Timestamp.h"

#include <QTest>

using namespace kelvo;
using namespace Qt::StringLiterals;

namespace {

const QDateTime fixedNow(QDate(2025, 3, 1), QTime(11, 0, 0), Qt::UTC);

TimeEntry entry(std::optional<qint64> duration, bool running, QString start = u"2025-03-01T10:00:00Z"_s) {
    TimeEntry e;
    e.id = u"e"_s;
    e.startTime = std::move(start);
    e.duration = duration;
    e.isRunning = running;
    return e;
}

} // namespace

class tst_Formatting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formattedDuration_data();
    void formattedDuration();
    void elapsedSeconds_data();
    void elapsedSeconds();
    void startTimeForms_data();
    void startTimeForms();
    void colorFromHex_data();
    void colorFromHex();
    void moneyAndCharacters();
};

void tst_Formatting::formattedDuration_data() {
    QTest::addColumn<std::optional<qint64>>("duration");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("text");
    QTest::newRow("42 s") << std::optional<qint64>(42) << false << u"42 sec"_s;
    QTest::newRow("5 s") << std::optional<qint64>(5) << false << u" 5 sec"_s;
    QTest::newRow("59 s") << std::optional<qint64>(59) << false << u"59 sec"_s;
    QTest::newRow("60 s") << std::optional<qint64>(60) << false << u"00:01"_s;
    QTest::newRow("3725 s") << std::optional<qint64>(3725) << false << u"01:02"_s;
    QTest::newRow("100 h") << std::optional<qint64>(360000) << false << u"100:00"_s;
    QTest::newRow("123:59") << std::optional<qint64>(123 * 3600 + 59 * 60 + 59) << false << u"123:59"_s;
    QTest::newRow("stopped without duration") << std::optional<qint64>() << false << u" 0 sec"_s;
    QTest::newRow("running without duration") << std::optional<qint64>() << true << u"01:00"_s;
    QTest::newRow("duration wins while running") << std::optional<qint64>(7) << true << u" 7 sec"_s;
}

void tst_Formatting::formattedDuration() {
    QFETCH(std::optional<qint64>, duration);
    QFETCH(bool, running);
    QFETCH(QString, text);
    QCOMPARE(entry(duration, running).formattedDuration(fixedNow), text);
}

void tst_Formatting::elapsedSeconds_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("milliseconds Z") << u"2025-03-01T10:00:00.000Z"_s << qint64(3600);
    QTest::newRow("whole seconds Z") << u"2025-03-01T10:00:00Z"_s << qint64(3600);
    QTest::newRow("fraction truncates") << u"2025-03-01T10:59:58.999Z"_s << qint64(1);
    QTest::newRow("six fraction digits") << u"2025-03-01T10:59:00.123456Z"_s << qint64(59);
    QTest::newRow("numeric offset") << u"2025-03-01T12:00:00+02:00"_s << qint64(3600);
    QTest::newRow("negative offset") << u"2025-03-01T05:30:00-04:30"_s << qint64(3600);
    QTest::newRow("space instead of T") << u"2025-03-01 10:00:00Z"_s << qint64(0);
    QTest::newRow("one hour ahead") << u"2025-03-01T12:00:00Z"_s << qint64(0);
    QTest::newRow("no such day") << u"2025-02-30T10:00:00Z"_s << qint64(0);
    QTest::newRow("hour 24") << u"2025-03-01T24:00:00Z"_s << qint64(0);
    QTest::newRow("trailing text") << u"2025-03-01T10:00:00Zjunk"_s << qint64(0);
    QTest::newRow("no zone") << u"2025-03-01T10:00:00"_s << qint64(0);
    QTest::newRow("empty fraction") << u"2025-03-01T10:00:00.Z"_s << qint64(0);
    QTest::newRow("non-ASCII digit") << u"2025-03-01T1\u0660:00:00Z"_s << qint64(0);
    QTest::newRow("empty") << QString() << qint64(0);
}

void tst_Formatting::elapsedSeconds() {
    QFETCH(QString, start);
    QFETCH(qint64, seconds);
    QCOMPARE(entry({}, true, start).elapsedSeconds(fixedNow), seconds);
}

void tst_Formatting::startTimeForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("milliseconds") << u"2025-03-01T10:00:00.123Z"_s << true;
    QTest::newRow("whole seconds") << u"2025-03-01T10:00:00Z"_s << true;
    QTest::newRow("microseconds") << u"2025-03-01T10:00:00.123456Z"_s << true;
    QTest::newRow("two digits") << u"2025-03-01T10:00:00.12Z"_s << false;
    QTest::newRow("nine digits") << u"2025-03-01T10:00:00.123456789Z"_s << false;
    QTest::newRow("offset") << u"2025-03-01T10:00:00.000+02:00"_s << false;
    QTest::newRow("lower-case z") << u"2025-03-01T10:00:00z"_s << false;
}

void tst_Formatting::startTimeForms() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(Timestamp::parseStartTime(text).has_value(), accepted);
}

void tst_Formatting::colorFromHex_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QColor>("color");
    QTest::newRow("six digits") << u"#10B981"_s << true << QColor(16, 185, 129, 255);
    QTest::newRow("three digits") << u"fff"_s << true << QColor(255, 255, 255, 255);
    QTest::newRow("alpha first") << u"#80FF0000"_s << true << QColor(255, 0, 0, 128);
    QTest::newRow("lower case, punctuation both ends") << u"  (#a0b1c2);"_s << true << QColor(160, 177, 194);
    QTest::newRow("0x prefix") << u"0x0F0F"_s << true << QColor(0, 15, 15);
    QTest::newRow("0x prefix, eight long") << u"0x00FF00"_s << true << QColor(0, 255, 0, 0);
    QTest::newRow("five digits") << u"#12345"_s << false << QColor();
    QTest::newRow("no digits read") << u"#GGGGGG"_s << true << QColor(0, 0, 0, 255);
    QTest::newRow("digits stop early") << u"#12GG34"_s << true << QColor(0, 0, 0x12, 255);
    QTest::newRow("empty") << QString() << false << QColor();
    QTest::newRow("only punctuation") << u"#"_s << false << QColor();
}

void tst_Formatting::colorFromHex() {
    QFETCH(QString, hex);
    QFETCH(bool, valid);
    QFETCH(QColor, color);
    const auto result = kelvo::colorFromHex(hex);
    QCOMPARE(result.has_value(), valid);
    if (valid) {
        QCOMPARE(result->rgba(), color.rgba());
    }
}

void tst_Formatting::moneyAndCharacters() {
    QCOMPARE(moneyText(12.5), u"$12.50"_s);
    QCOMPARE(moneyText(0), u"$0.00"_s);
    QCOMPARE(moneyText(1234567.891), u"$1234567.89"_s);
    QCOMPARE(perceivedLength(u"e\u0301t\u00e9"_s), 3);
}

QTEST_GUILESS_MAIN(tst_Formatting)
#include "tst_formatting.moc"
