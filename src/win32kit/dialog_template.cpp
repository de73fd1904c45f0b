#include "dialog_template.h"

#include <algorithm>

namespace zendrel {

std::vector<WORD> DialogTemplate(DWORD style, const wchar_t* caption) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = style;
    header->dwExtendedStyle = 0;
    header->cdit = 0;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    for (const wchar_t* c = caption; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

RECT CentredIn(SIZE size, const RECT& over, const RECT& work) {
    LONG left = over.left + ((over.right - over.left) - size.cx) / 2;
    LONG top = over.top + ((over.bottom - over.top) - size.cy) / 2;
    left = std::max(work.left, std::min(left, work.right - size.cx));
    top = std::max(work.top, std::min(top, work.bottom - size.cy));
    return {left, top, left + size.cx, top + size.cy};
}

RECT CentredOver(HWND owner, HWND dialog) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT over = monitor.rcWork;
    if (owner && !IsIconic(owner)) GetWindowRect(owner, &over);
    return CentredIn({rect.right - rect.left, rect.bottom - rect.top}, over, monitor.rcWork);
}

}  // namespace zendrel
