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
    explicit MainWindow(std::function<bool()> hidesOnClose);
    // Puts the root view in; the window may already be on the screen.
    void setContent(ContentView* content);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> m_hidesOnClose;
};

} // namespace kelvo
