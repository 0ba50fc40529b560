#include "DarkStyle.h"

#include "Theme.h"

#include <QApplication>
#include <QStyleFactory>

namespace kelvo {

void DarkStyle::apply(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app.setPalette(Theme::palette());
    app.setFont(Theme::font(Theme::TextStyle::body));
}

} // namespace kelvo
