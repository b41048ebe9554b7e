#include "ui/MessagesList.h"

#include "filter/FilterEditors.h"
#include "filter/FilterSet.h"
#include "notify/MailSender.h"
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <unordered_map>

#include "core/FileIO.h"
#include "core/MessageText.h"
#include "core/ProductKey.h"
#include "filter/FilterEditors.h"
#include "filter/FilterSet.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "framework/MessageBox.h"
#include "framework/MessageLoop.h"
#include "mail/Account.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "notify/MailSender.h"
#include "resources/resource.h"
#include "ui/Preview.h"

namespace {

constexpr DWORD kStyle = 0x56010409;  // child, visible, tab stop, report, owner-drawn fixed, selection always shown
constexpr DWORD kExStyle = 0x200;     // client edge
const char kColumnsKey[] = KX_PRODUCT_KEY "\\CustomizeControls\\CustomizeMessagesList\\Columns";

// The system's case-insensitive order, which knows the code page's
// double-byte characters.
int systemTextOrder(std::string_view a, std::string_view b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()));
    return r == 0 ? 0 : r - CSTR_EQUAL;
}

struct SortContext {
    std::unordered_map<RowKey, const Message*> messages;
    uint32_t kind;
    uint32_t order;
};

int CALLBACK compareRows(LPARAM a, LPARAM b, LPARAM context) {
    const auto& c = *reinterpret_cast<const SortContext*>(context);
    auto first = c.messages.find(static_cast<RowKey>(a));
    auto second = c.messages.find(static_cast<RowKey>(b));
    // A row whose message has gone compares as equal.
    if (first == c.messages.end() || second == c.messages.end()) return 0;
    return compareMessages(c.kind, c.order, *first->second, *second->second, systemTextOrder);
}

// The sort arrows: 16, 20, 24 or 32 pixels, as the DPI asks.
ImageListHandle loadArrows(UINT dpi) {
    int step = dpi >= 192 ? 3 : dpi >= 144 ? 2 : dpi >= 120 ? 1 : 0;
    static const int kSizes[] = {16, 20, 24, 32};
    ImageListHandle list(ImageList_Create(kSizes[step], kSizes[step], ILC_COLOR32, 2, 2));
    for (UINT id : {IDB_SORT_UP, IDB_SORT_DOWN}) {
        BitmapHandle bitmap(static_cast<HBITMAP>(LoadImageA(appInstance(), MAKEINTRESOURCEA(id + step * IDB_SCALE_STEP),
                                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (list && bitmap) ImageList_Add(list.get(), bitmap.get(), nullptr);
    }
    return list;
}

}  // namespace

bool MessagesList::create(HWND parent, Controller& engine, HFONT font) {
    HWND list = CreateWindowExA(kExStyle, WC_LISTVIEWA, "", kStyle, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_MESSAGES_LIST)), appInstance(),
                                nullptr);
    columns_ = std::make_unique<ColumnStore>(engine.registry(), kColumnsKey, builtInMessageColumns());
    columns_->load();
    if (!attachList(list, "MessagesList", engine, *columns_, false)) return false;
    setExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // After the rows' image list, which the list also hands its header.
    arrows_ = loadArrows(windowDpi(list));
    Header_SetImageList(ListView_GetHeader(list), arrows_.get());
    setFont(font);
    return true;
}

void MessagesList::setFont(HFONT font) {
    MessageRows::setFont(font);
    if (preview_) preview_->setFont(font);
}

// ---- rows and order

void MessagesList::showAccount(Account* account) {
    uint32_t id = account ? account->id() : 0;
    if (id != accountId()) stopMarkRead();
    fill(id);
    if (account) applyAccountSort();
    showFocused();
}

void MessagesList::rebuildColumns() {
    buildColumns();
    applyAccountSort();
    showFocused();
}

void MessagesList::applyAccountSort() {
    Account* account = engine().find(accountId());
    if (!account) return;
    sort_.apply(account->sortKind, account->sortOrder);
    sortRows(account->sortKind, account->sortOrder);
    showArrow();
}

void MessagesList::sortRows(uint32_t kind, uint32_t order) {
    Locked lock(*this);
    if (!lock) return;
    SortContext context{{}, kind, order};
    MessageSpan list = lock.list();
    std::vector<RowKey> keys = rowKeys(list);
    for (size_t i = 0; i < list.size(); ++i) context.messages.emplace(keys[i], list[i].get());
    sortByData(compareRows, reinterpret_cast<LPARAM>(&context));
}

void MessagesList::showArrow() {
    HWND header = ListView_GetHeader(hwnd());
    for (size_t i = 0; i < kinds().size(); ++i) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        if (!Header_GetItem(header, static_cast<int>(i), &item)) continue;
        item.fmt &= ~(HDF_IMAGE | HDF_BITMAP_ON_RIGHT);
        if (kinds()[i] == sort_.arrowKind()) {
            item.mask |= HDI_IMAGE;
            item.fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
            item.iImage = SortState::descending(sort_.order(kinds()[i])) ? 1 : 0;
        }
        Header_SetItem(header, static_cast<int>(i), &item);
    }
}

void MessagesList::sortByColumn(int column) {
    if (column < 0 || static_cast<size_t>(column) >= kinds().size()) return;
    uint32_t kind = kinds()[static_cast<size_t>(column)];
    uint32_t order = sort_.click(kind);
    sortRows(kind, order);
    showArrow();
    if (Account* account = engine().find(accountId())) {
        account->sortKind = kind;
        account->sortOrder = order;
    }
}

void MessagesList::saveLayout() {
    if (!columns_) return;
    std::vector<ColumnDescription> columns = columns_->columns();
    UINT dpi = windowDpi(hwnd());
    bool changed = false;
    for (size_t i = 0; i < kinds().size(); ++i) {
        auto it = std::find_if(columns.begin(), columns.end(),
                               [&](const ColumnDescription& c) { return c.kind == kinds()[i]; });
        int width = MulDiv(columnWidth(static_cast<int>(i)), 96, static_cast<int>(dpi));
        if (it == columns.end() || width < 0 || it->width == static_cast<uint32_t>(width)) continue;
        it->width = static_cast<uint32_t>(width);
        changed = true;
    }
    if (!changed) return;
    columns_->replace(std::move(columns));
    columns_->save();
}

// ---- the focused message

void MessagesList::showFocused() {
    if (!preview_) return;
    PreviewContent content;
    {
        Locked lock(*this);
        const Message* m = lock ? lock.row(focused()) : nullptr;
        if (!m) {
            preview_->clear();
            return;
        }
        content = {m->from(), m->to(), m->subject(), m->body(), m->charset(), m->attachmentNames()};
    }
    preview_->show(std::move(content));
}

void MessagesList::stopMarkRead() {
    if (timerRunning_) KillTimer(hwnd(), kMarkReadTimer);
    timerRunning_ = false;
}

void MessagesList::markReadLater() {
    int32_t delay = engine().settings().MarkMsgDelay;
    if (delay < 0) return;
    stopMarkRead();
    bool unread;
    {
        Locked lock(*this);
        const Message* m = lock ? lock.row(focused()) : nullptr;
        unread = m && !lock.marks(*m).read();
    }
    if (!unread) return;
    UINT ms = static_cast<UINT>(std::min<int64_t>(static_cast<int64_t>(delay) * 1000, 0x7FFFFFFF));
    timerRunning_ = SetTimer(hwnd(), kMarkReadTimer, ms, nullptr) != 0;
}

void MessagesList::focusMoved() {
    showFocused();
    markReadLater();
}

// ---- commands

void MessagesList::command(UINT id) {
    switch (id) {
    case ID_SAVE_AS:
        saveAs();
        break;
    case ID_MSG_ADD_FROM:
    case ID_MSG_ADD_SUBJECT:
    case ID_MSG_ADD_SPAMMER:
    case ID_MSG_ADD_POWER:
    case ID_MSG_ADD_FRIEND:
        addToFilter(id);
        break;
    case ID_MSG_REPLY:
    case ID_REPLY:
        reply();
        break;
    default:
        MessageRows::command(id);
    }
}

void MessagesList::saveAs() {
    std::string bytes;
    {
        Locked lock(*this);
        const Message* m = lock ? lock.row(focused()) : nullptr;
        if (!m) return;
        bytes = m->headerText() + m->body();
    }
    HWND owner = GetAncestor(hwnd(), GA_ROOT);
    char path[MAX_PATH] = "";
    std::string filter = formatMessage(MSG_FilesEml);
    filter += std::string("\0*.eml\0", 7);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "eml";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ModalScope modal;
    if (!GetSaveFileNameA(&ofn)) return;
    // The writer would replace a read-only file; the user protected it.
    DWORD attributes = GetFileAttributesA(path);
    uint32_t error = 0;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) error = ERROR_ACCESS_DENIED;
    else if (!writeFileAtomically(path, bytes, &error) && error == 0) error = ERROR_WRITE_FAULT;
    if (error) showMessageBox(owner, error, MB_OK | MB_ICONERROR);
}

void MessagesList::addToFilter(UINT id) {
    // The editor is modal: the account's list is not held while it is open.
    MessageTexts texts;
    {
        Locked lock(*this);
        const Message* m = lock ? lock.row(focused()) : nullptr;
        if (!m) return;
        texts = MessageTexts::of(*m);
    }
    ModalScope modal;
    DialogFilterEditor editor(GetAncestor(hwnd(), GA_ROOT));
    FilterSet& filters = engine().filters();
    switch (id) {
    case ID_MSG_ADD_FROM:
        filters.addFromFilter(texts, editor);
        break;
    case ID_MSG_ADD_SUBJECT:
        filters.addSubjectFilter(texts, editor);
        break;
    case ID_MSG_ADD_SPAMMER:
        filters.addSpammer(texts, editor);
        break;
    case ID_MSG_ADD_POWER:
        filters.addPowerFilter(texts, editor);
        break;
    default:
        filters.addFriend(texts, editor);
        break;
    }
}

void MessagesList::reply() {
    MailDraft draft;
    {
        Locked lock(*this);
        const Message* m = lock ? lock.row(focused()) : nullptr;
        if (!m) return;
        draft = {m->from(), m->subject(), m->body()};
    }
    ModalScope modal;
    sendMail(GetAncestor(hwnd(), GA_ROOT), draft);
}

// ---- messages

bool MessagesList::reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_NOTIFY) {
        const auto& nm = *reinterpret_cast<const NMHDR*>(lp);
        if (nm.code == LVN_COLUMNCLICK) {
            sortByColumn(reinterpret_cast<const NMLISTVIEW&>(nm).iSubItem);
            result = 0;
            return true;
        }
        if (nm.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(nm);
            if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) &&
                !(change.uOldState & LVIS_FOCUSED))
                focusMoved();
            return false;  // the window sets its command states too
        }
    }
    return MessageRows::reflected(msg, wp, lp, result);
}

LRESULT MessagesList::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        if (wp != kMarkReadTimer) break;
        stopMarkRead();
        command(ID_MSG_MARK_READ);
        return 0;
    case kRebuildColumns:
        rebuildColumns();
        return 0;
    case kRefreshCells: {
        int top = ListView_GetTopIndex(hwnd());
        refreshCells(top, top + ListView_GetCountPerPage(hwnd()));
        return 0;
    }
    case kShowFocused:
        showFocused();
        if (preview_) preview_->recode();  // the encoding changed
        return 0;
    default:
        break;
    }
    return MessageRows::onMessage(msg, wp, lp);
}
