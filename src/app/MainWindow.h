#pragma once

#include <QWidget>

#include <functional>

namespace kelvo {

class ContentView;

// The one main window: 400 x 600 content that cannot be resized, titled "Kelvo". Closing it
// hides it while the program lives on in the tray; without a tray item it ends the program.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(ContentView* content, std::function<bool()> hidesOnClose);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> m_hidesOnClose;
};

} // namespace kelvo
