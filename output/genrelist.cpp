#include "output/genrelist.h"

#include <algorithm>

#include "classlib/stringlist.h"
#include "output/mp3defs.h"

const char* const NoGenreText = "-None-";

std::vector<std::string> GenreListItems(bool all, int current) {
    std::vector<std::string> items{NoGenreText};
    for (int n = 0; n < GenreCount; ++n)
        if (all || GenreDisplaySet.test(static_cast<std::size_t>(n)) || n == current) items.push_back(GetGenreName(n));
    return items;
}

void SortGenreItems(std::vector<std::string>& items) {
    if (items.size() < 2) return;
    std::stable_sort(items.begin() + 1, items.end(),
                     [](const std::string& a, const std::string& b) { return wx::CompareText(a, b) < 0; });
}

int IndexOfGenreItem(const std::vector<std::string>& items, const std::string& text) {
    const auto it = std::find(items.begin(), items.end(), text);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

int GenreOfSelection(const std::string& selected, bool allowNoGenre) {
    if (selected != NoGenreText || allowNoGenre) return selected == NoGenreText ? -1 : FindGenreIndex(selected);
    return FindFreeGenreIndex();
}

TPlace CenterOnMonitor(const std::vector<TMonitorArea>& monitors, int mainLeft, int mainTop, int width, int height) {
    if (monitors.empty()) return {0, 0};
    const TMonitorArea* m = &monitors[0];
    for (const TMonitorArea& a : monitors) {
        if (a.Top + a.Height > mainTop && a.Left + a.Width > mainLeft) {
            m = &a;
            break;
        }
    }
    TPlace p{m->Left + m->Width / 2 - width / 2, m->Top + m->Height / 2 - height / 2};
    p.Left = std::max(p.Left, m->Left);
    p.Top = std::max(p.Top, m->Top);
    return p;
}
