#include "notify/MailSender.h"

#include <mapi.h>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/Platform.h"
#include "framework/MessageBox.h"
#include "framework/MessageLoop.h"

namespace {

class Library {
public:
    explicit Library(HMODULE module) : module_(module) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

// Hands the draft to Simple MAPI's compose window. 0 when the user sent or
// cancelled it, else the message id of what went wrong.
uint32_t sendThroughMapi(HWND owner, const MailDraft& draft) {
    // Only the system's own copy: the program's folder is the user's to write.
    Library mapi(LoadLibraryExA("MAPI32.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!mapi.get()) return MSG_MapiNotLoaded;
    auto send = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi.get(), "MAPISendMail")));
    if (!send) return MSG_MapiInvalid;

    // The record takes writable texts.
    std::string name = draft.to, address = mapiAddress(draft.to), subject = draft.subject, body = draft.body;
    MapiRecipDesc recipient = {};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = name.data();
    recipient.lpszAddress = address.empty() ? nullptr : address.data();
    MapiMessage message = {};
    if (!name.empty()) {
        message.nRecipCount = 1;
        message.lpRecips = &recipient;
    }
    message.lpszSubject = subject.empty() ? nullptr : subject.data();
    message.lpszNoteText = body.empty() ? nullptr : body.data();
    ULONG result = send(0, reinterpret_cast<ULONG_PTR>(owner), &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    if (result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT) return 0;
    eventLog().log("MAPISendMail failed: %lu", static_cast<unsigned long>(result));
    return MSG_MapiSendFailed;
}

}  // namespace

bool sendMail(HWND owner, const MailDraft& draft) {
    // The compose window is modal: Exit and other modal commands wait for it.
    ModalScope modal;
    uint32_t failure = sendThroughMapi(owner, draft);
    if (!failure) return true;
    // Without a working Simple MAPI, the mail program that handles mail
    // links may still take the draft.
    if (shellOpen(mailtoLink(draft))) return true;
    showMessageBox(owner, failure, MB_OK | MB_ICONERROR, {}, formatMessage(MSG_MapiError).c_str());
    return false;
}
