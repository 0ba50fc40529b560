#pragma once

#include <QLabel>
#include <QLineEdit>

// Finding and driving the widgets of a view by their object names.
namespace kelvo::test {

template <class T = QWidget> T* find(QWidget* root, const QString& name) {
    T* child = root->findChild<T*>(name);
    if (!child) {
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    }
    return child;
}

inline void type(QWidget* root, const QString& field, const QString& text) {
    find<QLineEdit>(root, field)->setText(text);
}

inline QString text(QWidget* root, const QString& name) {
    return find<QLabel>(root, name)->text();
}

inline bool shown(QWidget* root, const QString& name) {
    return find(root, name)->isVisible();
}

} // namespace kelvo::test
