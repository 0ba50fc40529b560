#include "MainWindow.h"

#include "ContentView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QVBoxLayout>

namespace kelvo {

MainWindow::MainWindow(std::function<bool()> hidesOnClose)
    : m_hidesOnClose(std::move(hidesOnClose)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Kelvo"));
    // The icon is not part of the first frame: it is decoded once the event loop runs.
    // (Pre-rendered sizes: no SVG icon engine to load at all.)
    QMetaObject::invokeMethod(
        this,
        [this] {
            QIcon icon;
            icon.addFile(QStringLiteral(":/kelvo-64.png"), QSize(64, 64));
            icon.addFile(QStringLiteral(":/kelvo-256.png"), QSize(256, 256));
            setWindowIcon(icon);
        },
        Qt::QueuedConnection);
    setFixedSize(400, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void MainWindow::setContent(ContentView* content) {
    layout()->addWidget(content);
    content->show();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_hidesOnClose()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

} // namespace kelvo
