#include "framework/Splitter.h"

#include <algorithm>
#include <numeric>

#include "framework/Dpi.h"

namespace {
constexpr int kDivider = 5;  // pixels at 96 DPI
constexpr int kMinPane = 8;
}  // namespace

bool Splitter::create(HWND parent, const RECT& rect) {
    WindowClass cls;
    cls.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    return Window::create(cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
                          rect, parent);
}

int Splitter::dividerSize() const { return scaleFor(hwnd(), kDivider); }

void Splitter::setPanes(const std::vector<HWND>& panes, const std::vector<int>& heights) {
    panes_ = panes;
    heights_ = heights;
    heights_.resize(panes_.size(), 1);
    for (int& h : heights_) h = std::max(h, 1);
    RECT rc;
    GetClientRect(hwnd(), &rc);
    fit(rc.bottom);
    layout();
}

// Spreads `total` pixels over the panes in the proportions of their heights.
void Splitter::fit(int total) {
    if (panes_.empty()) return;
    int room = std::max(0, total - dividerSize() * static_cast<int>(panes_.size() - 1));
    long long sum = std::accumulate(heights_.begin(), heights_.end(), 0LL);
    if (sum <= 0) return;
    int given = 0;
    for (size_t i = 0; i + 1 < heights_.size(); ++i) {
        heights_[i] = static_cast<int>(heights_[i] * static_cast<long long>(room) / sum);
        given += heights_[i];
    }
    heights_.back() = room - given;
}

void Splitter::layout() {
    RECT rc;
    GetClientRect(hwnd(), &rc);
    int y = 0;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(panes_.size()));
    for (size_t i = 0; i < panes_.size(); ++i) {
        if (batch)
            batch = DeferWindowPos(batch, panes_[i], nullptr, 0, y, rc.right, heights_[i],
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        y += heights_[i] + dividerSize();
    }
    if (batch) EndDeferWindowPos(batch);
}

void Splitter::setHeight(size_t pane, int pixels) {
    if (pane >= heights_.size() || heights_.size() < 2) return;
    size_t other = pane + 1 < heights_.size() ? pane + 1 : pane - 1;
    int both = heights_[pane] + heights_[other];
    int h = std::clamp(pixels, std::min(kMinPane, both), std::max(both - kMinPane, 0));
    heights_[pane] = h;
    heights_[other] = both - h;
    layout();
}

int Splitter::dividerAt(int y) const {
    int top = 0;
    for (size_t i = 0; i + 1 < heights_.size(); ++i) {
        top += heights_[i];
        if (y >= top && y < top + dividerSize()) return static_cast<int>(i);
        top += dividerSize();
    }
    return -1;
}

LRESULT Splitter::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        fit(HIWORD(lp));
        layout();
        return 0;
    case WM_SETCURSOR: {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd(), &pt);
        if (reinterpret_cast<HWND>(wp) == hwnd() && dividerAt(pt.y) >= 0) {
            SetCursor(LoadCursor(nullptr, IDC_SIZENS));
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONDOWN: {
        int y = static_cast<short>(HIWORD(lp));
        dragging_ = dividerAt(y);
        if (dragging_ >= 0) {
            int top = 0;
            for (int i = 0; i <= dragging_; ++i) top += heights_[i] + (i ? dividerSize() : 0);
            dragOffset_ = y - top;
            SetCapture(hwnd());
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragging_ >= 0) {
            int y = static_cast<short>(HIWORD(lp)) - dragOffset_;
            int top = 0;
            for (int i = 0; i < dragging_; ++i) top += heights_[i] + dividerSize();
            setHeight(static_cast<size_t>(dragging_), y - top);
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_ >= 0) ReleaseCapture();  // WM_CAPTURECHANGED ends the drag
        return 0;
    case WM_CAPTURECHANGED:
        if (dragging_ >= 0) {
            size_t pane = static_cast<size_t>(dragging_);
            dragging_ = -1;
            onDividerMoved(pane);
        }
        return 0;
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
        // A pane's own Control answers first; the rest is the window's business.
        LRESULT result = 0;
        if (reflectToChild(hwnd(), msg, wp, lp, result)) return result;
        return SendMessageA(GetParent(hwnd()), msg, wp, lp);
    }
    default:
        break;
    }
    return Window::onMessage(msg, wp, lp);
}
