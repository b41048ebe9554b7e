// Panes stacked one above the other with dividers the user drags. The pane
// heights keep their proportions when the splitter is resized; a drag moves
// the two panes beside the divider.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/Window.h"

class Splitter : public Window {
public:
    Splitter() : Window("Splitter") {}

    bool create(HWND parent, const RECT& rect);
    // The panes, top to bottom, and their heights (pixels, or any numbers in
    // the proportions wanted).
    void setPanes(const std::vector<HWND>& panes, const std::vector<int>& heights);
    // The panes' current heights in pixels.
    const std::vector<int>& heights() const { return heights_; }
    // Sets one pane's height, taking the difference from its neighbour below
    // (above for the last pane).
    void setHeight(size_t pane, int pixels);
    int dividerSize() const;

protected:
    // A drag of the divider below pane `pane` has ended.
    virtual void onDividerMoved(size_t pane) {}
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void fit(int total);
    void layout();
    int dividerAt(int y) const;

    std::vector<HWND> panes_;
    std::vector<int> heights_;
    int dragging_ = -1;  // divider being dragged
    int dragOffset_ = 0;
};
