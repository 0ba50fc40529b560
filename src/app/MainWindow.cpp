#include "MainWindow.h"

#include "ContentView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QVBoxLayout>

namespace kelvo {

MainWindow::MainWindow(ContentView* content, std::function<bool()> hidesOnClose)
    : m_hidesOnClose(std::move(hidesOnClose)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Kelvo"));
    // Pre-rendered sizes: no SVG icon engine to load before the first frame.
    QIcon icon;
    icon.addFile(QStringLiteral(":/kelvo-64.png"), QSize(64, 64));
    icon.addFile(QStringLiteral(":/kelvo-256.png"), QSize(256, 256));
    setWindowIcon(icon);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    layout->setSizeConstraint(QLayout::SetFixedSize);
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
