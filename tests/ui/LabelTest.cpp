// A label on screen after its caption changes: its pixels show the whole text as the same text
// drawn apart shows it, growing or shrinking, on parents that clip their children or not.
#include "Wait.h"
#include "ui/Application.h"
#include "ui/Font.h"
#include "ui/Static.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class Parent : public ui::Window {
public:
    explicit Parent(bool clipChildren) {
        CreateTopLevel(L"SnapkeepLabelTestWindow", nullptr, L"Labels",
                       WS_POPUP | WS_CAPTION | (clipChildren ? WS_CLIPCHILDREN : 0), 0, 400, 120,
                       nullptr);
    }
    ~Parent() override { Destroy(); }
};

// The pixels of a rectangle of a device context, top row first.
std::vector<COLORREF> Pixels(HDC source, int x, int y, int width, int height) {
    HDC memory = ::CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    ::GdiFlush();
    const auto* first = static_cast<const COLORREF*>(bits);
    std::vector<COLORREF> pixels(first, first + static_cast<size_t>(width) * height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    for (COLORREF& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

struct Drawn {
    int width = 0; // what the text needs
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF background = 0;
};

// The text drawn into a memory bitmap as wide as the text needs, with the label's font and the
// colours and brush its parent gives it, as a label draws itself. A glyph may reach a pixel past
// the width the text measures ("0" in Times New Roman does under Wine): the text is drawn with
// room to spare, and the width it needs is the larger of what it measures and what it inks.
Drawn DrawApart(const ui::Label& label, const std::wstring& text) {
    Drawn drawn;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(label.Handle(), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = ::SelectObject(memory, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT measured{0, 0, 0, 0};
    ::DrawTextW(memory, text.c_str(), -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    drawn.height = measured.bottom;
    const int room = measured.right + drawn.height;
    RECT all{0, 0, room, drawn.height};
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, room, drawn.height);
    HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        ::GetParent(label.Handle()), WM_CTLCOLORSTATIC, WPARAM(memory), LPARAM(label.Handle())));
    ::FillRect(memory, &all, brush);
    ::DrawTextW(memory, text.c_str(), -1, &all, DT_LEFT | DT_NOPREFIX);
    const std::vector<COLORREF> pixels = Pixels(memory, 0, 0, room, drawn.height);
    drawn.background = pixels.back(); // the far corner: room enough that no glyph reaches it
    drawn.width = measured.right;
    for (int y = 0; y < drawn.height; ++y)
        for (int x = drawn.width; x < room; ++x)
            if (pixels[static_cast<size_t>(y) * room + x] != drawn.background)
                drawn.width = x + 1;
    for (int y = 0; y < drawn.height; ++y)
        drawn.pixels.insert(drawn.pixels.end(), pixels.begin() + y * room,
                            pixels.begin() + y * room + drawn.width);
    ::SelectObject(memory, oldBitmap);
    ::SelectObject(memory, oldFont);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return drawn;
}

TEST(Label, ShowsItsWholeTextAfterEveryCaptionChange) {
    ui::Application::Instance().Initialize();
    ui::Font font(L"Times New Roman", 8);
    struct Case {
        const char* what;
        bool clipChildren;
        int fixedWidth; // 0: the label follows its text
        std::wstring before;
        std::wstring after;
    };
    const Case cases[] = {
        {"grow across a blank", false, 0, L"Total Files: 0", L"Total Files: 500"},
        {"grow across a blank, clipping parent", true, 0, L"Total Files: 0", L"Total Files: 500"},
        {"grow", true, 0, L"Files", L"Files,Folders,Pictures"},
        {"shrink", false, 0, L"Finished Files: 123,456", L"Done"},
        {"shrink, clipping parent", true, 0, L"Finished Files: 123,456", L"Done"},
        {"empty, then a text", true, 0, L"", L"Backup has finished."},
        {"fixed width, shorter", true, 300, L"Backup H:\\Documents\\set01\\file1.jpg", L"Done."},
        {"fixed width, longer than the label", true, 120, L"Scanning file ...",
         L"Backup H:\\Documents\\set01\\nested\\deeper\\file500.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Parent parent(c.clipChildren);
        ui::Label label;
        if (c.fixedWidth)
            label.CreateFixed(parent.Handle(), 100, c.before, 8, 8, c.fixedWidth);
        else
            label.Create(parent.Handle(), 100, c.before, 8, 8);
        label.SetFont(font.Handle());
        ::ShowWindow(parent.Handle(), SW_SHOWNOACTIVATE);
        ::UpdateWindow(parent.Handle());
        PumpMessages();
        RECT old;
        ::GetClientRect(label.Handle(), &old);

        label.SetCaption(c.after);
        // A paint of what is pending, as the message loop does it; nothing asks for more.
        PumpMessages();
        ::RedrawWindow(parent.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

        const Drawn expected = DrawApart(label, c.after);
        RECT rect;
        ::GetClientRect(label.Handle(), &rect);
        const int width = rect.right;
        ASSERT_EQ(rect.bottom, expected.height);
        if (c.fixedWidth)
            EXPECT_EQ(width, ui::Scale(c.fixedWidth)) << "a fixed label keeps its width";
        else
            EXPECT_GE(width, expected.width) << "the label is narrower than its text";

        // The label's place as the screen shows it: the parent's window DC reads what is drawn
        // there, the label's own pixels included.
        POINT origin{0, 0};
        ::MapWindowPoints(label.Handle(), parent.Handle(), &origin, 1);
        HDC dc = ::GetDC(parent.Handle());
        const std::vector<COLORREF> shown = Pixels(dc, origin.x, origin.y, width, rect.bottom);
        ::ReleaseDC(parent.Handle(), dc);

        int wrong = 0;
        for (int y = 0; y < expected.height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF want =
                    x < expected.width
                        ? expected.pixels[static_cast<size_t>(y) * expected.width + x]
                        : expected.background;
                if (shown[static_cast<size_t>(y) * width + x] != want)
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "pixels of the label differ from its text drawn apart";

        // Where a shorter text left the label, the parent shows its background again.
        if (old.right > width) {
            dc = ::GetDC(parent.Handle());
            const std::vector<COLORREF> uncovered =
                Pixels(dc, origin.x + width, origin.y, old.right - width, old.bottom);
            ::ReleaseDC(parent.Handle(), dc);
            EXPECT_EQ(std::count(uncovered.begin(), uncovered.end(), expected.background),
                      static_cast<long>(uncovered.size()))
                << "the earlier text still shows beside the label";
        }
    }
}

} // namespace
