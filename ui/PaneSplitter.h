// The main window's three panes (accounts, messages, preview) with their
// heights kept under CustomizeControls\Splitter. A preview dragged below 60
// pixels gets its remembered height back.
#pragma once
#include <windows.h>

#include <array>

#include "framework/Splitter.h"

class Registry;

class PaneSplitter : public Splitter {
public:
    static constexpr UINT kRestorePreview = WM_USER + 104;
    static constexpr int kMinPreview = 60;  // pixels at 96 DPI

    // The stored heights; a value that cannot be read takes its default.
    void load(Registry& registry);
    void save(Registry& registry) const;
    // Takes the live heights as the ones to keep (on hiding and saving).
    void capture();
    const std::array<int, 3>& stored() const { return stored_; }

protected:
    void onDividerMoved(size_t pane) override;
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    std::array<int, 3> stored_ = {30, 30, 50};
};
