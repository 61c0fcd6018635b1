#include "ui/PageControl.h"

#include <commctrl.h>

namespace snapkeep::ui {

void PageControl::Create(HWND parent, int id, int tabWidth, int tabHeight) {
    RECT client;
    ::GetClientRect(parent, &client);
    Attach(::CreateWindowExW(0, WC_TABCONTROLW, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | TCS_BUTTONS |
                                 TCS_FLATBUTTONS | TCS_FIXEDWIDTH | TCS_MULTILINE,
                             0, 0, client.right, client.bottom, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr),
           id);
    if (!hwnd_)
        return;
    TabCtrl_SetItemSize(hwnd_, Scale(tabWidth), Scale(tabHeight));
}

void PageControl::AddPage(Panel& page, int id, const std::wstring& caption) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    TabCtrl_InsertItem(hwnd_, static_cast<int>(pages_.size()), &item);
    page.Create(::GetParent(hwnd_), id, 0, 0, 10, 10, false, false);
    pages_.push_back(&page);
    LayoutPages();
    SetActivePage(ActivePage() < 0 ? 0 : ActivePage());
}

void PageControl::SetPageCaption(int index, const std::wstring& caption) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    TabCtrl_SetItem(hwnd_, index, &item);
}

int PageControl::ActivePage() const {
    return TabCtrl_GetCurSel(hwnd_);
}

void PageControl::SetActivePage(int index) {
    TabCtrl_SetCurSel(hwnd_, index);
    for (size_t i = 0; i < pages_.size(); ++i)
        ::ShowWindow(pages_[i]->Handle(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
}

RECT PageControl::DisplayArea() const {
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    TabCtrl_AdjustRect(hwnd_, FALSE, &rect);
    ::MapWindowPoints(hwnd_, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PageControl::LayoutPages() {
    const RECT area = DisplayArea();
    for (Panel* page : pages_)
        page->Place(area);
}

bool PageControl::OnNotify(NMHDR* header, LRESULT&) {
    if (header->code != TCN_SELCHANGE)
        return false;
    const int index = ActivePage();
    SetActivePage(index);
    if (OnChange)
        OnChange(index);
    return true;
}

} // namespace snapkeep::ui
