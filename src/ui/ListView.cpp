#include "ui/ListView.h"

#include "ui/Application.h"

#include <commctrl.h>
#include <windowsx.h>

namespace snapkeep::ui {

void ListView::Create(HWND parent, int id, const std::wstring& column, int columnWidth, int x,
                      int y, int width, int height) {
    CreateControl(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                  LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, parent, id, x, y,
                  width, height);
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = Scale(columnWidth);
    col.pszText = const_cast<wchar_t*>(column.c_str());
    ListView_InsertColumn(hwnd_, 0, &col);
    // Key releases are not notified by the list view itself.
    ::SetWindowSubclass(hwnd_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

ListView::~ListView() {
    if (hwnd_ && ::IsWindow(hwnd_))
        ::RemoveWindowSubclass(hwnd_, SubclassProc, 1);
}

LRESULT CALLBACK ListView::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    if (msg == WM_KEYUP) {
        auto* self = reinterpret_cast<ListView*>(data);
        if (self->OnKeyUp) {
            unsigned modifiers = 0;
            if (::GetKeyState(VK_SHIFT) < 0)
                modifiers |= MK_SHIFT;
            if (::GetKeyState(VK_CONTROL) < 0)
                modifiers |= MK_CONTROL;
            if (::GetKeyState(VK_MENU) < 0)
                modifiers |= kModifierAlt;
            Application::Guarded([&] { self->OnKeyUp(static_cast<WORD>(wParam), modifiers); });
        }
    } else if (msg == WM_CONTEXTMENU) {
        // A right click (the list sends this once the click is done) or the menu key and
        // Shift+F10 (the point is -1, -1: the selected row's menu opens beside it).
        auto* self = reinterpret_cast<ListView*>(data);
        if (self->OnContextMenu) {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            int row = -1;
            if (lParam == -1) {
                row = self->Selected();
                RECT rect{};
                if (row < 0 || !ListView_GetItemRect(hwnd, row, &rect, LVIR_LABEL))
                    ::GetClientRect(hwnd, &rect);
                at = {rect.left, rect.bottom};
                ::ClientToScreen(hwnd, &at);
            } else {
                LVHITTESTINFO hit{};
                hit.pt = at;
                ::ScreenToClient(hwnd, &hit.pt);
                row = ListView_HitTest(hwnd, &hit);
            }
            Application::Guarded([&] { self->OnContextMenu(row, at); });
            return 0;
        }
    } else if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, SubclassProc, 1);
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool ListView::OnNotify(NMHDR* header, LRESULT&) {
    if (header->code != LVN_ITEMCHANGED)
        return false;
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    // A change of every row (say, "deselect all") comes as row -1 and is passed on as such.
    const UINT changedState = change->uOldState ^ change->uNewState;
    if ((changedState & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem(change->iItem, (change->uNewState & LVIS_SELECTED) != 0);
    if (OnChange)
        OnChange(change->iItem);
    return true;
}

int ListView::Count() const {
    return ListView_GetItemCount(hwnd_);
}

int ListView::Add(bool checked, const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<wchar_t*>(text.c_str());
    const int index = ListView_InsertItem(hwnd_, &item);
    if (index >= 0)
        ListView_SetCheckState(hwnd_, index, checked ? TRUE : FALSE);
    return index;
}

void ListView::Delete(int index) {
    ListView_DeleteItem(hwnd_, index);
}

void ListView::Clear() {
    ListView_DeleteAllItems(hwnd_);
}

std::wstring ListView::Text(int index) const {
    // Grow the buffer until the text fits: paths may be long.
    std::wstring text(260, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const int length = static_cast<int>(
            ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
        if (length < static_cast<int>(text.size()) - 1) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

bool ListView::Checked(int index) const {
    return ListView_GetCheckState(hwnd_, index) != 0;
}

void ListView::SetChecked(int index, bool checked) {
    ListView_SetCheckState(hwnd_, index, checked ? TRUE : FALSE);
}

int ListView::Selected() const {
    return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
}

void ListView::Select(int index) {
    ListView_SetItemState(hwnd_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void ListView::SetColumnCaption(const std::wstring& text) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = const_cast<wchar_t*>(text.c_str());
    ListView_SetColumn(hwnd_, 0, &col);
}

} // namespace snapkeep::ui
