#include "controls.h"

#include <algorithm>
#include <iterator>

#include "control_proc.h"
#include "failure.h"
#include "program_name.h"
#include "scoped.h"

namespace zendrel {

namespace {

[[noreturn]] void InvalidCall() {
    throw Failure(kInvalidArgument, ProgramName());
}

}  // namespace

void ListBox::AddItem(std::wstring_view item) {
    std::wstring text(item);
    LRESULT at = SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) throw Failure(kOutOfMemory, ProgramName());
}

void ListBox::AddItems(const std::vector<std::wstring>& items) {
    if (const KeptRows* kept = KeptListRows(hwnd_); kept && kept->complete) {
        AddItems(std::vector<std::wstring>(items));  // one copy, then the fast road
        return;
    }
    std::size_t added = 0;
    SendItems(items, added);
}

void ListBox::AddItems(std::vector<std::wstring>&& items) {
    KeptRows* kept = KeptListRows(hwnd_);
    if (!kept || !kept->complete) {
        std::size_t added = 0;
        SendItems(items, added);
        return;
    }
    // The rows go straight to the list box, and the kept rows take the
    // strings themselves at the end.
    std::size_t added = 0;
    auto adopt = [&] {
        std::size_t start = kept->rows.size();
        auto first = std::make_move_iterator(items.begin());
        kept->rows.insert(kept->rows.end(), first, first + static_cast<std::ptrdiff_t>(added));
        // The list box took each text up to a NUL in it, as the rows must.
        for (std::size_t i = start; i < kept->rows.size(); ++i) {
            std::wstring& row = kept->rows[i];
            row.erase(std::find(row.begin(), row.end(), L'\0'), row.end());
        }
    };
    try {
        OwnProcedureOnly direct(hwnd_);
        SendItems(items, added);
    } catch (...) {
        adopt();
        throw;
    }
    adopt();
}

void ListBox::SendItems(const std::vector<std::wstring>& items, std::size_t& added) {
    if (items.empty()) return;
    RedrawOff quiet(hwnd_);
    std::size_t chars = 0;
    for (const std::wstring& item : items) chars += item.size() + 1;
    SendMessageW(hwnd_, LB_INITSTORAGE, items.size(), chars * sizeof(wchar_t));
    for (const std::wstring& item : items) {
        LRESULT at = SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (at == LB_ERR || at == LB_ERRSPACE) throw Failure(kOutOfMemory, ProgramName());
        ++added;
    }
}

void ListBox::SetItems(const std::vector<std::wstring>& items) {
    RedrawOff quiet(hwnd_);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    AddItems(items);
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) InvalidCall();
    bool wasSelected = ListIndex() == index;
    SendMessageW(hwnd_, LB_DELETESTRING, index, 0);
    // Removing the selected row leaves no row selected.
    if (wasSelected) SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

std::wstring ListBox::List(int index) const {
    LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, index, 0);
    if (index < 0 || length == LB_ERR) InvalidCall();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    if (got == LB_ERR) InvalidCall();
    text.resize(static_cast<std::size_t>(got));
    return text;
}

int ListBox::ListCount() const {
    return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
}

int ListBox::ListIndex() const {
    LRESULT index = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void ListBox::SetListIndex(int index) {
    if (index < -1 || index >= ListCount()) InvalidCall();
    SendMessageW(hwnd_, LB_SETCURSEL, index, 0);
}

std::vector<std::wstring> ListBox::Items() const {
    std::vector<std::wstring> scratch;
    const std::vector<std::wstring>& rows = Rows(scratch);
    if (&rows == &scratch) return scratch;
    return rows;
}

const std::vector<std::wstring>& ListBox::Rows(std::vector<std::wstring>& scratch) const {
    if (const KeptRows* kept = KeptListRows(hwnd_); kept && kept->complete) return kept->rows;
    scratch = ReadItems();
    return scratch;
}

std::vector<std::wstring> ListBox::ReadItems() const {
    int count = ListCount();
    std::vector<std::wstring> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) items.push_back(List(i));
    return items;
}

int CheckBox::Value() const {
    return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CheckBox::SetValue(int value) {
    if (value != 0 && value != 1) InvalidCall();
    if (value == Value()) return;
    SendMessageW(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd_), BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd_));
}

std::wstring TextBox::Text() const {
    return WindowText(hwnd_);
}

void TextBox::SetText(std::wstring_view text) {
    std::wstring copy(text);
    if (!SetWindowTextW(hwnd_, copy.c_str())) throw Failure(kOutOfMemory, ProgramName());
    SendMessageW(hwnd_, EM_SETMODIFY, FALSE, 0);
}

bool TextBox::Modified() const {
    return SendMessageW(hwnd_, EM_GETMODIFY, 0, 0) != 0;
}

int TextBox::SelStart() const {
    DWORD start = 0, end = 0;
    SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TextBox::SelLength() const {
    DWORD start = 0, end = 0;
    SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TextBox::SetSelStart(int start) {
    if (start < 0) InvalidCall();
    SendMessageW(hwnd_, EM_SETSEL, start, start);
}

void TextBox::SetSelLength(int length) {
    if (length < 0) InvalidCall();
    int start = SelStart();
    SendMessageW(hwnd_, EM_SETSEL, start, start + length);
}

void TextBox::SetFocus() {
    ::SetFocus(hwnd_);
}

std::wstring WindowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

void ListBox::ReplaceKeepingSelection(const std::vector<std::wstring>& rows) {
    std::vector<std::wstring> before = Items();
    int selected = ListIndex();
    int occurrence = 0;
    std::wstring text;
    if (selected >= 0) {
        text = before[static_cast<std::size_t>(selected)];
        for (int i = 0; i < selected; ++i)
            if (before[static_cast<std::size_t>(i)] == text) ++occurrence;
    }
    auto first = static_cast<WPARAM>(SendMessageW(hwnd_, LB_GETTOPINDEX, 0, 0));
    SetItems(rows);
    SendMessageW(hwnd_, LB_SETTOPINDEX, first, 0);
    if (selected < 0) return;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == text && occurrence-- == 0) {
            SetListIndex(static_cast<int>(i));
            return;
        }
}

void TextBox::SelectAll() {
    SetSelStart(0);
    SetSelLength(static_cast<int>(Text().size()));
}

void RefuseEntry(HWND owner, TextBox& box, const std::wstring& text, const std::wstring& title) {
    MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
    box.SetFocus();
    box.SelectAll();
}

std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace zendrel
