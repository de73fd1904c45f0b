// Thin wrappers over standard controls, giving the forms
// the operations they use. Each holds the control's handle only; the window
// owns the control. Operations on a row that does not exist throw kInvalidArgument.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace zendrel {

// A single-selection, unsorted list box. Rows are counted from 0.
class ListBox {
  public:
    ListBox() = default;
    explicit ListBox(HWND hwnd) : hwnd_(hwnd) {}
    HWND Hwnd() const { return hwnd_; }

    // Appends a row at the end; Failure 7 when the list has no room left.
    void AddItem(std::wstring_view item);
    // Appends every item, in order, with the room for them reserved first and
    // without redrawing the list for each row.
    void AddItems(const std::vector<std::wstring>& items);
    // The same, and the strings move into the rows the list box keeps.
    void AddItems(std::vector<std::wstring>&& items);
    void RemoveItem(int index);
    std::wstring List(int index) const;
    int ListCount() const;
    // The selected row, -1 for none.
    int ListIndex() const;
    // Selects a row; -1 clears the selection.
    void SetListIndex(int index);
    // Every row, in order.
    std::vector<std::wstring> Items() const;
    // Every row, in order, without a copy when the list box keeps its rows
    // (KeepListRows); otherwise read into `scratch`.
    const std::vector<std::wstring>& Rows(std::vector<std::wstring>& scratch) const;
    // Replaces every row, without redrawing the list for each.
    void SetItems(const std::vector<std::wstring>& items);
    // Replaces every row, keeping the first row shown and the selection on
    // the same entry (the same occurrence of its text) where it still exists.
    void ReplaceKeepingSelection(const std::vector<std::wstring>& rows);

  private:
    std::vector<std::wstring> ReadItems() const;
    // Adds the items in order, counting in `added` those added so far.
    void SendItems(const std::vector<std::wstring>& items, std::size_t& added);

    HWND hwnd_ = nullptr;
};

// A two-state check box: Value 0 (clear) or 1 (ticked).
class CheckBox {
  public:
    CheckBox() = default;
    explicit CheckBox(HWND hwnd) : hwnd_(hwnd) {}
    HWND Hwnd() const { return hwnd_; }

    int Value() const;
    // Changing the value by code raises the box's Click event as a click
    // does: the parent gets the same BN_CLICKED notification. Setting the
    // value it already has raises nothing.
    void SetValue(int value);

  private:
    HWND hwnd_ = nullptr;
};

// A single-line text box.
class TextBox {
  public:
    TextBox() = default;
    explicit TextBox(HWND hwnd) : hwnd_(hwnd) {}
    HWND Hwnd() const { return hwnd_; }

    std::wstring Text() const;
    // Setting the text by code clears the modified flag.
    void SetText(std::wstring_view text);
    // Whether the user has typed in the box since its text was last set by code.
    bool Modified() const;
    int SelStart() const;
    int SelLength() const;
    // Moves the caret to start and selects nothing.
    void SetSelStart(int start);
    // Selects length characters from the selection start.
    void SetSelLength(int length);
    void SetFocus();
    // Selects the whole text.
    void SelectAll();

  private:
    HWND hwnd_ = nullptr;
};

// Text that cannot be taken: the message, then the focus and the whole text
// selected in the box at fault.
void RefuseEntry(HWND owner, TextBox& box, const std::wstring& text, const std::wstring& title);

// The clipboard's text, or an empty text when it holds none or another
// program has it open.
std::wstring ClipboardText(HWND owner);

// The text of any window (caption of a control).
std::wstring WindowText(HWND hwnd);

}  // namespace zendrel
