#pragma once

#include "DBusTypes.h"

#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QPoint>

#include <span>

namespace kelvo {

// Kelvo's own org.kde.StatusNotifierItem: the symbol (or the time's digits) as its icon and the
// elapsed time as its label (the Ayatana extension, drawn beside the icon by the panels that know it) and tooltip.
// Panels learn of changes from the New* signals, which are sent only when something they show
// has changed. Clicks from the panel come out as the plain signals below.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(kelvo::SniIconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(kelvo::SniIconPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(kelvo::SniIconPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(kelvo::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)
public:
    static constexpr const char* path = "/StatusNotifierItem";
    static constexpr const char* menuPath = "/MenuBar";

    explicit StatusNotifierItem(QObject* parent = nullptr);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("kelvo"); }
    QString title() const { return QStringLiteral("Kelvo"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString emptyText() const { return {}; }
    SniIconPixmapList noPixmaps() const { return {}; }
    const SniIconPixmapList& iconPixmap() const { return m_icon; }
    // The icon also as a PNG file, for panels that ignore pixmaps; empty when it could not be
    // written or is not to be.
    const QString& iconName() const { return m_iconName; }
    SniToolTip toolTip() const;
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QString::fromLatin1(menuPath)); }
    const QString& label() const { return m_label; }
    const QString& labelGuide() const { return m_guide; }
    uint orderingIndex() const { return 0; }

    // Whether an icon is also written as a PNG file (and kept with it, to come back to).
    enum class IconFile { written, none };
    // `key` names the icon; pixmaps at each of `sizes` (and the file) are made only when it
    // changes.
    void setIcon(const QString& key, const std::function<QImage(int)>& render,
                 std::span<const int> sizes, IconFile file);
    void setLabel(const QString& label, const QString& guide);
    void setToolTipText(const QString& text);

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void XAyatanaSecondaryActivate(uint timestamp);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString& orientation);
    Q_SCRIPTABLE void ProvideXdgActivationToken(const QString& token);

Q_SIGNALS:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewMenu();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);
    Q_SCRIPTABLE void XAyatanaNewLabel(const QString& label, const QString& guide);

    // For the program: where the panel was clicked (0, 0 when it does not say).
    void activated(QPoint hint);
    void secondaryActivated();
    void contextMenuRequested(QPoint hint);

private:
    QString m_iconKey;
    SniIconPixmapList m_icon;
    QString m_iconName;
    QHash<QString, std::pair<SniIconPixmapList, QString>> m_madeIcons;
    QString m_label;
    QString m_guide;
    QString m_toolTipText;
};

} // namespace kelvo
