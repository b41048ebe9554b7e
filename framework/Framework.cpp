#include "framework/Framework.h"

#include <commctrl.h>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/UserMessage.h"
#include "framework/MessageBox.h"

namespace {

HINSTANCE gInstance = nullptr;

// Boxes for the user appear on the thread that has something to say; a
// worker's box has no owner and does not block the user interface.
void showOnCallingThread(uint32_t id, const std::vector<std::string>& inserts) {
    showMessageBox(nullptr, id, MB_OK, inserts);
}

}  // namespace

bool initFramework(HINSTANCE instance) {
    gInstance = instance;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                                ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&icc)) return false;
    setUserMessageHandler(showOnCallingThread);
    return true;
}

HINSTANCE appInstance() { return gInstance ? gInstance : GetModuleHandleA(nullptr); }

void logUnexpected(const char* source, int site, const std::exception* e) {
    // Logging must not throw from inside a catch block either.
    try {
        eventLog().log("%s %s,%d.", formatMessage(MSG_UnexpectedError).c_str(), source, site);
        if (e && e->what() && *e->what()) eventLog().log("Error in %s: %s", source, e->what());
    } catch (...) {
    }
}
