#include "framework/Dpi.h"

UINT windowDpi(HWND hwnd) {
    UINT dpi = hwnd ? GetDpiForWindow(hwnd) : 0;
    if (!dpi) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) : 96;
        if (screen) ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : 96;
}

int systemMetric(int index, UINT dpi) {
    int v = GetSystemMetricsForDpi(index, dpi);
    return v ? v : GetSystemMetrics(index);
}

FontHandle createMessageFont(UINT dpi) {
    // The DPI-aware call exists only with the wide structure.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return FontHandle(CreateFontIndirectW(&metrics.lfMessageFont));
    return FontHandle(CreateFontA(-MulDiv(8, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                  0, 0, 0, 0, "MS Shell Dlg"));
}

FontHandle createStoredFont(const LOGFONTA& font, UINT dpi) {
    if (font.lfFaceName[0] == '\0') return createMessageFont(dpi);
    LOGFONTA scaled = font;
    scaled.lfHeight = scaleDpi(font.lfHeight, dpi);
    scaled.lfWidth = scaleDpi(font.lfWidth, dpi);
    return FontHandle(CreateFontIndirectA(&scaled));
}
