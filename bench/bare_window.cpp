// The yardstick for the start-up benchmark: a plain Qt Widgets window with one label that is
// updated every second (built again with a tray icon for the panel figures). Prints "first
// frame" once the label has been painted.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>
#ifdef KELVO_BARE_TRAY
#include <QPixmap>
#include <QSystemTrayIcon>
#endif

#include <cstdio>

namespace {

class FirstFrame : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, [] {
                std::printf("first frame\n");
                std::fflush(stdout);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label;
    label.resize(400, 600);
    FirstFrame firstFrame;
    label.installEventFilter(&firstFrame);
#ifdef KELVO_BARE_TRAY
    // The yardstick for the panel item: Qt's own tray icon, its tooltip the time.
    QPixmap dot(22, 22);
    dot.fill(Qt::darkGreen);
    QSystemTrayIcon tray{QIcon(dot)};
    tray.show();
    const auto tick = [&label, &tray] {
        const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
        label.setText(now);
        tray.setToolTip(now);
    };
#else
    const auto tick = [&label] {
        label.setText(QDateTime::currentDateTime().toString(Qt::ISODate));
    };
#endif
    tick();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start(1000);
    label.show();
    return app.exec();
}
