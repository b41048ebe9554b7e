#include "notify/Badge.h"

#include <commctrl.h>

#include <string>

namespace {

// The badge was drawn for 16-pixel icons; other sizes scale it.
int scaled(int pixels, int size) { return MulDiv(pixels, size, 16); }

void drawBadge(HDC dc, HICON state, int size, COLORREF colour, uint32_t count) {
    // The mask colour first: where the state picture is transparent it stays,
    // and the image list makes it transparent again.
    RECT all = {0, 0, size, size};
    BrushHandle mask(CreateSolidBrush(kBadgeMaskColour));
    FillRect(dc, &all, mask.get());
    DrawIconEx(dc, 0, 0, state, size, size, 0, nullptr, DI_NORMAL);

    PenHandle pen(CreatePen(PS_SOLID, 0, colour));
    BrushHandle brush(CreateSolidBrush(colour));
    // 8 points at the DPI where icons have this size.
    FontHandle font(CreateFontA(-MulDiv(8, scaled(96, size), 72), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                ANSI_CHARSET, 0, 0, 0, 0, "Arial"));
    SelectIn usePen(dc, pen.get()), useBrush(dc, brush.get()), useFont(dc, font.get());
    Ellipse(dc, scaled(4, size), scaled(4, size), size, size);
    SetBkColor(dc, colour);
    SetTextColor(dc, RGB(255, 255, 255));
    std::string text = std::to_string(count);
    int length = static_cast<int>(text.size());
    int half = LOWORD(GetTabbedTextExtentA(dc, text.c_str(), length, 0, nullptr)) / 2;
    TextOutA(dc, scaled(11, size) - half, scaled(3, size), text.c_str(), length);
}

}  // namespace

IconHandle composeBadge(HWND window, HICON state, int size, COLORREF colour, uint32_t count) {
    ImageListHandle list(ImageList_Create(size, size, ILC_MASK | ILC_COLORDDB, 1, 1));
    if (!list) return {};
    WindowDC screen(window);
    MemoryDC memory(CreateCompatibleDC(screen));
    BitmapHandle bitmap(memory ? CreateCompatibleBitmap(screen, size, size) : nullptr);
    if (bitmap) {
        {
            SelectIn target(memory.get(), bitmap.get());
            drawBadge(memory.get(), state, size, colour, count);
        }
        ImageList_AddMasked(list.get(), bitmap.get(), kBadgeMaskColour);
    } else {
        ImageList_AddIcon(list.get(), state);
    }
    return IconHandle(ImageList_GetIcon(list.get(), 0, ILD_NORMAL));
}
