// kelvo-screenshot FILE.png: saves what the X display ($DISPLAY) shows, for scripts that check
// the program under Xvfb.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-screenshot FILE.png\n");
        return 2;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "kelvo-screenshot: could not grab the screen\n");
        return 1;
    }
    return 0;
}
