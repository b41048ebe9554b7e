// The tray's count badge: the number on a coloured disc in the lower right
// of the state picture.
#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/Handles.h"

// Pixels of this colour in the badge bitmap become transparent.
constexpr COLORREF kBadgeMaskColour = RGB(4, 4, 4);

// `state` drawn at `size` pixels square with `count` on a disc of `colour`.
// The disc and the digits follow `size` (16 at 96 DPI, more on denser
// screens); a long number runs past the disc. Drawn in a bitmap compatible
// with `window`'s device context; when no memory context can be had, the
// state picture comes back without a badge. Null when no icon could be made.
IconHandle composeBadge(HWND window, HICON state, int size, COLORREF colour, uint32_t count);
