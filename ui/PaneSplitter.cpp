#include "ui/PaneSplitter.h"

#include <algorithm>

#include "core/ProductKey.h"
#include "core/Registry.h"
#include "framework/Dpi.h"

namespace {
const char kKey[] = KX_PRODUCT_KEY "\\CustomizeControls\\Splitter";
const char* const kValues[3] = {"AccountListHeight", "MessagesListHeight", "MsgPreviewHeight"};
const int kDefaults[3] = {30, 30, 50};
}  // namespace

void PaneSplitter::load(Registry& registry) {
    RegKey key;
    bool open = key.openForWriting(registry, kRegCurrentUser, kKey);
    for (int i = 0; i < 3; ++i) {
        uint32_t v = 0;
        // A height of 0 or one past any screen is damage: the default serves better.
        stored_[i] = open && key.readNumber(kValues[i], v) && v > 0 && v < 100000 ? static_cast<int>(v) : kDefaults[i];
    }
}

void PaneSplitter::save(Registry& registry) const {
    RegKey key;
    if (!key.openForWriting(registry, kRegCurrentUser, kKey)) return;
    for (int i = 0; i < 3; ++i) key.writeNumber(kValues[i], static_cast<uint32_t>(stored_[i]));
}

void PaneSplitter::capture() {
    const std::vector<int>& live = heights();
    if (live.size() != 3) return;
    for (size_t i = 0; i < 3; ++i) stored_[i] = std::max(live[i], 1);
}

void PaneSplitter::onDividerMoved(size_t) {
    if (heights().size() == 3 && heights()[2] < scaleFor(hwnd(), kMinPreview))
        PostMessageA(hwnd(), kRestorePreview, 0, 0);
}

LRESULT PaneSplitter::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRestorePreview) {
        setHeight(2, std::max(stored_[2], scaleFor(hwnd(), kMinPreview)));
        return 0;
    }
    return Splitter::onMessage(msg, wp, lp);
}
