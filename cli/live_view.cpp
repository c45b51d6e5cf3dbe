#include "cli/live_view.h"

#include "cli/text.h"

LiveView MakeLiveView(bool json)
{
    LiveView view;
    view.quiet = json;
    view.live = !json && IsLiveTerminal(stdout);
    return view;
}

void Redraw(LiveView& view, const std::vector<std::string>& lines)
{
    if (view.quiet || !view.live)
        return;
    std::string text;
    if (view.drawn != 0)
        text += "\033[" + std::to_string(view.drawn) + "A";
    for (const std::string& line : lines)
        text += "\r\033[K" + line + "\n";
    view.drawn = lines.size();
    PrintText(stdout, text);
    std::fflush(stdout);
}

void Note(const LiveView& view, const std::string& line)
{
    if (view.quiet || view.live)
        return;
    PrintText(stdout, line + "\n");
    std::fflush(stdout);
}
