// The progress of many ports at once: on a terminal one line per port,
// redrawn in place as things happen; elsewhere a plain line as each port
// starts and ends; with --json nothing. The main thread only.
#pragma once

#include <string>
#include <vector>

struct LiveView {
    bool live = false;    // a terminal that takes cursor movement
    bool quiet = false;   // --json
    size_t drawn = 0;     // lines on the screen from the last redraw
};

LiveView MakeLiveView(bool json);
// The whole set of lines, redrawn in place (a terminal only).
void Redraw(LiveView& view, const std::vector<std::string>& lines);
// One line as it happens (anything but a terminal).
void Note(const LiveView& view, const std::string& line);
