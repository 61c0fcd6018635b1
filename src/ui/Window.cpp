#include "ui/Window.h"

#include "ui/Application.h"
#include "ui/Control.h"

#include <vector>

namespace snapkeep::ui {

Window::~Window() {
    Destroy();
}

void Window::Destroy() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
}

std::wstring Window::Caption() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void Window::SetCaption(const std::wstring& text) {
    ::SetWindowTextW(hwnd_, text.c_str());
}

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon, HBRUSH background) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (::GetClassInfoExW(instance, name, &wc))
        return;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

bool Window::CreateTopLevel(const wchar_t* className, HICON icon, const std::wstring& caption,
                            DWORD style, DWORD exStyle, int width, int height, HWND owner) {
    RegisterWindowClass(className, WndProc, icon, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    ::CreateWindowExW(exStyle, className, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                      Scale(width), Scale(height), owner, nullptr, ::GetModuleHandleW(nullptr),
                      this);
    return hwnd_ != nullptr;
}

bool Window::IsFormWindow(HWND hwnd) {
    return hwnd && reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == WndProc;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

LRESULT Window::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE && inModalLoop_) {
        modalResult_ = IDCANCEL;
        return 0;
    }
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    bool reflected = false;
    Application::Guarded([&] {
        reflected = Control::Reflect(msg, wParam, lParam, result);
        if (!reflected)
            result = self->HandleMessage(msg, wParam, lParam);
    });
    if (reflected)
        return result;
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

void DispatchOne(MSG& msg) {
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && ::IsDialogMessageW(root, &msg))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

namespace {

struct DisabledWindows {
    HWND keep;
    std::vector<HWND> list;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<DisabledWindows*>(param);
    // The program's own windows are disabled hidden or not: one that sits in the tray when the
    // modal window opens may be shown again meanwhile (its tray icon, another copy of the
    // program bringing it back), and must come back as unusable as the others.
    if (hwnd != state->keep && ::IsWindowEnabled(hwnd) &&
        (::IsWindowVisible(hwnd) || Window::IsFormWindow(hwnd))) {
        ::EnableWindow(hwnd, FALSE);
        state->list.push_back(hwnd);
    }
    return TRUE;
}

} // namespace

int Window::ShowModal() {
    DisabledWindows disabled{hwnd_, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
    modalResult_ = 0;
    inModalLoop_ = true;
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    MSG msg;
    while (modalResult_ == 0 && hwnd_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The application is ending: leave this loop and let the outer one see the quit.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            modalResult_ = IDCANCEL;
            break;
        }
        if (got < 0)
            break;
        DispatchOne(msg);
    }
    inModalLoop_ = false;
    // Enable the owners before hiding, so that the system activates one of them and not some
    // other program's window.
    for (HWND hwnd : disabled.list)
        if (::IsWindow(hwnd))
            ::EnableWindow(hwnd, TRUE);
    if (hwnd_)
        ::ShowWindow(hwnd_, SW_HIDE);
    return modalResult_ ? modalResult_ : IDCANCEL;
}

} // namespace snapkeep::ui
