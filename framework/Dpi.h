// Pixels at the window's DPI: every pixel size the program names is for 96
// DPI and is scaled to the monitor the window is on.
#pragma once
#include <windows.h>

#include "framework/Handles.h"

// The window's DPI (96 when it cannot be known).
UINT windowDpi(HWND hwnd);
inline int scaleDpi(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }
inline int scaleFor(HWND hwnd, int pixels) { return scaleDpi(pixels, windowDpi(hwnd)); }
// A system metric at `dpi` (SM_CXSMICON, ...).
int systemMetric(int index, UINT dpi);
// The system's message font at `dpi`.
FontHandle createMessageFont(UINT dpi);
// `font` as stored (a LOGFONT made at 96 DPI) at `dpi`; a font record that is
// all zero, or has no face name, means the system's message font.
FontHandle createStoredFont(const LOGFONTA& font, UINT dpi);
