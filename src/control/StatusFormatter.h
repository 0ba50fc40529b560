#pragma once

#include "StatusReport.h"

#include <QByteArray>

namespace kelvo {

// The shapes `kelvo status` prints a report in; each ends in a newline.
class StatusFormatter {
public:
    enum class Format { human, json, waybar, i3blocks };

    // "human", "json", "waybar", "i3blocks".
    static std::optional<Format> formatNamed(QStringView name);
    // `colour` marks the human line's symbol for a terminal.
    static QByteArray format(const StatusReport& report, Format format, bool colour = false);

    // "▶ Website Redesign · Frontend build · 01:02:03 · $41.38", or "■ No timer running".
    static QString humanLine(const StatusReport& report, bool colour = false);
    // "Website Redesign · Frontend build": the entry's project and task names that are known.
    static QString entryTitle(const StatusReport::Entry& entry);

private:
    static QString tooltip(const StatusReport& report);
    static QByteArray waybar(const StatusReport& report);
    static QByteArray i3blocks(const StatusReport& report);
};

} // namespace kelvo
