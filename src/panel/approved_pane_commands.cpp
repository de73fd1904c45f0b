// The approved list's context menu (import, export, find, sort, duplicates)
// and pasting many sites at once.
#include "approved_pane.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_set>

#include "failure_report.h"
#include "handles.h"
#include "late_bound.h"
#include "main_layout.h"
#include "resource.h"
#include "site_list_file.h"
#include "site_rules.h"
#include "string_table.h"
#include "text.h"

namespace zendrel {

namespace {

constexpr std::size_t kRefusedLinesShown = 10;

// Lines of pasted text: split at CR LF, LF or CR, surrounding blanks trimmed.
std::vector<std::wstring> PastedLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring line;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        wchar_t c = i < text.size() ? text[i] : L'\n';
        if (c == L'\r' || c == L'\n') {
            lines.push_back(TrimSpaces(line));
            line.clear();
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            line += c;
        }
    }
    return lines;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

bool ContainsIgnoringCase(const std::wstring& text, const std::wstring& part) {
    auto lower = [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); };
    auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                             [&](wchar_t a, wchar_t b) { return lower(a) == lower(b); });
    return found != text.end();
}

}  // namespace

UINT ApprovedPane::FindDialogMessage() {
    static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
    return message;
}

void ApprovedPane::ShowMenu(LPARAM screenPoint) {
    if (!IsWindowEnabled(listApproved.Hwnd())) return;
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return;
    auto item = [&menu](UINT command, unsigned text) {
        AppendMenuW(menu.Get(), MF_STRING, command, LoadText(text).c_str());
    };
    item(kCmdImport, IDS_MENU_IMPORT);
    item(kCmdExport, IDS_MENU_EXPORT);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    item(kCmdFind, IDS_MENU_FIND);
    item(kCmdSort, IDS_MENU_SORT);
    item(kCmdRemoveDuplicates, IDS_MENU_REMOVE_DUPLICATES);
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        // From the keyboard (Shift+F10, the menu key): at the selected row,
        // or the list's corner.
        RECT row{};
        int selected = listApproved.ListIndex();
        if (selected < 0 || SendMessageW(listApproved.Hwnd(), LB_GETITEMRECT, selected,
                                         reinterpret_cast<LPARAM>(&row)) == LB_ERR)
            row = {};
        at = {row.left + 8, row.bottom};
        ClientToScreen(listApproved.Hwnd(), &at);
    }
    int command = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                 host_.Hwnd(), nullptr);
    if (command) OnCommand(command, 0);
}

void ApprovedPane::PasteSites(const std::wstring& text) {
    std::vector<std::wstring> added;
    std::wstring refused;
    std::size_t refusedCount = 0;
    std::vector<std::wstring> lines = PastedLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SiteProblem problem = CheckSite(lines[i]);
        if (problem == SiteProblem::Empty) continue;
        if (problem == SiteProblem::None) {
            added.push_back(lines[i]);
        } else if (++refusedCount <= kRefusedLinesShown) {
            refused +=
                LoadText(IDS_PASTE_REFUSED_LINE, {std::to_wstring(i + 1), SiteRefusal(lines[i])});
        }
    }
    listApproved.AddItems(added);
    ClearSelections();
    if (refusedCount == 0) return;
    if (refusedCount > kRefusedLinesShown) refused += L"\r\n...";
    std::wstring message = LoadText(
        IDS_PASTE_REFUSED, {std::to_wstring(added.size()), std::to_wstring(refusedCount), refused});
    MessageBoxW(host_.Hwnd(), message.c_str(), LoadText(IDS_PASTE_TITLE).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

void ApprovedPane::FindSite() {
    if (findDialog_) {
        SetFocus(findDialog_);
        return;
    }
    find_ = {};
    find_.lStructSize = sizeof find_;
    find_.hwndOwner = host_.Hwnd();
    find_.lpstrFindWhat = findText_;
    find_.wFindWhatLen = static_cast<WORD>(std::size(findText_));
    find_.Flags = FR_DOWN | FR_HIDEUPDOWN | FR_HIDEMATCHCASE | FR_HIDEWHOLEWORD;
    findDialog_ = late::FindTextW(&find_);
}

void ApprovedPane::OnFindDialog(const FINDREPLACEW& find) {
    if (find.Flags & FR_DIALOGTERM) {
        findDialog_ = nullptr;
    } else if (find.Flags & FR_FINDNEXT) {
        FindNextSite();
    }
}

void ApprovedPane::FindNextSite() {
    std::wstring part = findText_;
    if (part.empty()) {
        FindSite();
        return;
    }
    std::vector<std::wstring> rows = listApproved.Items();
    int count = static_cast<int>(rows.size());
    int start = listApproved.ListIndex();
    // From the row after the selected one, round to it.
    for (int step = 1; step <= count; ++step) {
        int row = (start + step) % count;
        if (row < 0) row += count;
        if (ContainsIgnoringCase(rows[static_cast<std::size_t>(row)], part)) {
            listApproved.SetListIndex(row);
            return;
        }
    }
    std::wstring message = LoadText(IDS_FIND_NONE, {part});
    MessageBoxW(findDialog_ ? findDialog_ : host_.Hwnd(), message.c_str(),
                LoadText(IDS_FIND_TITLE).c_str(), MB_OK | MB_ICONINFORMATION);
}

void ApprovedPane::SortSites() {
    std::vector<std::wstring> rows = listApproved.Items();
    std::stable_sort(rows.begin(), rows.end(), LessIgnoringCase);
    listApproved.SetItems(rows);
}

void ApprovedPane::RemoveDuplicateSites() {
    std::vector<std::wstring> rows = listApproved.Items();
    std::unordered_set<std::wstring> seen;
    std::vector<std::wstring> kept;
    kept.reserve(rows.size());
    for (std::wstring& row : rows)
        if (seen.insert(row).second) kept.push_back(std::move(row));
    std::size_t removed = rows.size() - kept.size();
    if (removed) listApproved.SetItems(kept);
    std::wstring message = removed == 0
                               ? LoadText(IDS_DUPLICATES_NONE)
                               : LoadText(IDS_DUPLICATES_REMOVED, {std::to_wstring(removed)});
    MessageBoxW(host_.Hwnd(), message.c_str(), LoadText(IDS_DUPLICATES_TITLE).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

namespace {

constexpr DWORD kPathCapacity = 32768;

// The file the user picks in the standard Open or Save As dialog; empty when
// the user cancels. `filters` are the dialog's pairs of name and pattern,
// each followed by "|"; `format` gets the chosen filter's number (1-based).
std::wstring PickFile(HWND owner, bool save, std::wstring filters, DWORD* format = nullptr) {
    std::replace(filters.begin(), filters.end(), L'|', L'\0');
    std::wstring path(kPathCapacity, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathCapacity;
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    BOOL picked = save ? late::GetSaveFileNameW(&dialog) : late::GetOpenFileNameW(&dialog);
    if (!picked) return {};
    if (format) *format = dialog.nFilterIndex;
    path.resize(wcslen(path.c_str()));
    return path;
}

enum class ImportChoice { Add, Replace, Cancel };

// Asks whether the file's sites are added to the list or replace it, with
// buttons that say so. The task dialog comes from version 6 of the common
// controls (the program's manifest asks for it); without it, a message box
// asks the same.
ImportChoice AskImportChoice(HWND owner) {
    std::wstring title = LoadText(IDS_IMPORT_TITLE);
    std::wstring question = LoadText(IDS_IMPORT_QUESTION);
    std::wstring explained = LoadText(IDS_IMPORT_EXPLAINED);
    using TaskDialogFunction = HRESULT WINAPI(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    auto* taskDialog = controls ? reinterpret_cast<TaskDialogFunction*>(reinterpret_cast<void*>(
                                      GetProcAddress(controls, "TaskDialogIndirect")))
                                : nullptr;
    int pressed = IDCANCEL;
    if (taskDialog) {
        std::wstring add = LoadText(IDS_IMPORT_ADD), replace = LoadText(IDS_IMPORT_REPLACE),
                     cancel = LoadText(IDS_CANCEL);
        const TASKDIALOG_BUTTON buttons[] = {{kIdImportAdd, add.c_str()},
                                             {kIdImportReplace, replace.c_str()},
                                             {IDCANCEL, cancel.c_str()}};
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
        config.pszWindowTitle = title.c_str();
        config.pszMainInstruction = question.c_str();
        config.pszContent = explained.c_str();
        config.cButtons = static_cast<UINT>(std::size(buttons));
        config.pButtons = buttons;
        config.nDefaultButton = kIdImportAdd;
        if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr))) pressed = IDCANCEL;
    } else {
        std::wstring text = LoadText(IDS_IMPORT_MESSAGE_BOX_QUESTION, {question, explained});
        int answer =
            MessageBoxW(owner, text.c_str(), title.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION);
        pressed = answer == IDYES ? kIdImportAdd : answer == IDNO ? kIdImportReplace : IDCANCEL;
    }
    return pressed == kIdImportAdd       ? ImportChoice::Add
           : pressed == kIdImportReplace ? ImportChoice::Replace
                                         : ImportChoice::Cancel;
}

}  // namespace

void ApprovedPane::ImportSites() {
    std::wstring path = PickFile(host_.Hwnd(), false, LoadText(IDS_IMPORT_FILTERS));
    if (path.empty()) return;
    ImportChoice choice = AskImportChoice(host_.Hwnd());
    if (choice == ImportChoice::Cancel) return;
    bool replace = choice == ImportChoice::Replace;
    SiteImport result;
    try {
        result = ImportSiteFile(path, replace ? std::vector<std::wstring>{} : listApproved.Items());
    } catch (...) {
        ShowFailureReport(host_.Hwnd(), LoadText(IDS_IMPORT_ERROR),
                          LoadText(IDS_IMPORT_ERROR_TITLE), CurrentFailure());
        return;
    }
    if (replace && result.sitesToAdd.empty()) {
        // As the command-line tool: an empty or damaged file cannot wipe the list.
        std::wstring refusal = LoadText(IDS_IMPORT_REFUSED_REPLACE);
        if (!result.refused.empty())
            refusal += L"\r\n\r\n" + ImportSummary(result, kRefusedLinesShown);
        MessageBoxW(host_.Hwnd(), refusal.c_str(), LoadText(IDS_IMPORT_TITLE).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (replace)
        listApproved.SetItems(result.sitesToAdd);
    else
        listApproved.AddItems(result.sitesToAdd);
    std::wstring summary = ImportSummary(result, kRefusedLinesShown);
    MessageBoxW(host_.Hwnd(), summary.c_str(), LoadText(IDS_IMPORT_TITLE).c_str(),
                MB_OK | (result.refused.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

void ApprovedPane::ExportSites() {
    DWORD format = 1;
    std::wstring path = PickFile(host_.Hwnd(), true, LoadText(IDS_EXPORT_FILTERS), &format);
    if (path.empty()) return;
    std::vector<std::wstring> sites = listApproved.Items();
    try {
        ExportSiteList(path, sites, format == 2 ? SiteListFormat::Utf8 : SiteListFormat::Ansi);
    } catch (...) {
        ShowFailureReport(host_.Hwnd(), LoadText(IDS_EXPORT_ERROR),
                          LoadText(IDS_EXPORT_ERROR_TITLE), CurrentFailure());
        return;
    }
    std::wstring done = LoadText(IDS_EXPORT_DONE, {std::to_wstring(sites.size()), path});
    MessageBoxW(host_.Hwnd(), done.c_str(), LoadText(IDS_EXPORT_TITLE).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

}  // namespace zendrel
