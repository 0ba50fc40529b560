#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

namespace kelvo {

// One item of the status item's menu, the same whether Qt draws it (the tray icon's menu) or a
// panel does (over D-Bus): an action, a separator, a radio choice or a submenu.
struct MenuEntry {
    enum class Kind { action, separator, radio, submenu };

    Kind kind = Kind::action;
    QString label;
    std::function<void()> run;
    bool checked = false;      // radio only
    QList<MenuEntry> children; // submenu only
    QKeySequence shortcut;     // shown in Qt's menu
    bool enabled = true;

    static MenuEntry action(QString label, std::function<void()> run) {
        return {Kind::action, std::move(label), std::move(run)};
    }
    static MenuEntry separator() { return {Kind::separator}; }
    static MenuEntry radio(QString label, bool checked, std::function<void()> run) {
        return {Kind::radio, std::move(label), std::move(run), checked};
    }
    static MenuEntry submenu(QString label, QList<MenuEntry> children) {
        return {Kind::submenu, std::move(label), {}, false, std::move(children)};
    }
};

} // namespace kelvo
