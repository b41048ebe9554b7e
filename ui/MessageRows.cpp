#include "ui/MessageRows.h"

#include <windowsx.h>

#include <algorithm>
#include <unordered_set>

#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "mail/Account.h"
#include "mail/Controller.h"
#include "message/Message.h"
#include "resources/resource.h"
#include "ui/ColumnStore.h"
#include "ui/Viewers.h"

namespace {

constexpr int kPadding = 2;  // pixels at 96 DPI around icons and texts

// The commands a selection enables (Delete, Undelete and the read marks
// follow what the selected messages are).
const UINT kSelectionCommands[] = {ID_MSG_SHOW_HEADER, ID_MSG_SELECT_ALL, ID_MSG_ADD_FROM,  ID_MSG_ADD_SPAMMER,
                                   ID_MSG_ADD_SUBJECT, ID_MSG_ADD_POWER,  ID_MSG_ADD_FRIEND, ID_MSG_REPLY};
const UINT kGreyedWithoutSelection[] = {ID_MSG_MARK_READ,  ID_MSG_MARK_UNREAD, ID_MSG_DELETE,     ID_MSG_UNDELETE,
                                        ID_MSG_SHOW_HEADER, ID_MSG_ADD_FROM,   ID_MSG_ADD_SPAMMER, ID_MSG_ADD_SUBJECT,
                                        ID_MSG_ADD_POWER,  ID_MSG_ADD_FRIEND,  ID_MSG_REPLY};

const UINT kMarkIcons[] = {IDI_MARK_DELETED, IDI_MARK_UNCERTAIN,  IDI_MARK_SPAMMER, IDI_MARK_HIGH,
                           IDI_MARK_LOW,     IDI_MARK_ATTACHMENT, IDI_MARK_FRIEND,  IDI_MARK_FILTERED};

// The list's own record of a row's mark, which others read: without one it
// would say image 0.
int listImage(int image) { return image >= 0 ? image : I_IMAGENONE; }

int cellImage(uint32_t kind, const Message& m) {
    if (kind == MSG_ColPriority) return priorityImage(m.priority());
    return m.hasAttachment() ? kImageAttachment : kNoImage;
}

}  // namespace

std::string_view cellPiece(std::string_view text) {
    if (text.size() <= kCellTextMax) return text;
    // Walk the characters so that a lead byte never loses its trail byte.
    size_t end = 0;
    while (end < kCellTextMax) {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + step > kCellTextMax) break;
        end += step;
    }
    return text.substr(0, end);
}

// ---- Locked

MessageRows::Locked::Locked(const MessageRows& rows) : rows_(rows), whole_(rows.deletedOnly_) {
    account_ = rows.account_ && rows.engine_ ? rows.engine_->find(rows.account_) : nullptr;
    held_ = account_ && account_->tryLockMessages();
    if (held_) rows.index_.refresh(list(), account_->id(), account_->generation());
}

MessageRows::Locked::~Locked() {
    if (held_) account_->unlockMessages();
}

MessageSpan MessageRows::Locked::list() const {
    return whole_ ? MessageSpan(account_->messages) : MessageSpan(account_->currentMessages());
}

const Message* MessageRows::Locked::row(int index) const {
    return index >= 0 ? rows_.index_.find(list(), rows_.keyOf(index)) : nullptr;
}

const Message& MessageRows::Locked::marks(const Message& m) const {
    const Message* lead = rows_.index_.lead(list(), m.crc());
    return lead ? *lead : m;
}

// ---- the list

bool MessageRows::attachList(HWND list, const char* source, Controller& engine, ColumnStore& columns,
                             bool deletedOnly) {
    engine_ = &engine;
    columns_ = &columns;
    deletedOnly_ = deletedOnly;
    source_ = source;
    if (!list || !subclass(list, source)) return false;
    // The image lists are this object's to destroy, not the control's.
    SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    UINT dpi = windowDpi(list);
    iconSize_ = systemMetric(SM_CXSMICON, dpi);
    marks_.reset(ImageList_Create(iconSize_, iconSize_, ILC_COLOR32 | ILC_MASK, 16, 16));
    for (UINT id : kMarkIcons) {
        IconHandle icon(static_cast<HICON>(
            LoadImageA(appInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, iconSize_, iconSize_, 0)));
        ImageList_AddIcon(marks_.get(), icon.get());
    }
    // Rows are at least as high as the icons.
    setImageList(marks_.get(), LVSIL_SMALL);
    setAccelerators(LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(IDA_MESSAGES)));
    buildColumns();
    return true;
}

void MessageRows::setFont(HFONT font) {
    font_ = font;
    LOGFONTA lf = {};
    if (font && GetObjectA(font, sizeof lf, &lf)) {
        lf.lfWeight = FW_BOLD;
        bold_.reset(CreateFontIndirectA(&lf));
    }
    // The list asks for the row height again when its font changes.
    SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void MessageRows::buildColumns() {
    SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
    clear();
    clearColumns();
    kinds_.clear();
    UINT dpi = windowDpi(hwnd());
    for (const ColumnDescription& c : columns_->shown()) {
        int format = isIconColumn(c.kind) ? LVCFMT_CENTER : LVCFMT_LEFT;
        addColumn(static_cast<int>(kinds_.size()), c.title, scaleDpi(static_cast<int>(c.width), dpi), format);
        kinds_.push_back(c.kind);
    }
    SendMessageA(hwnd(), WM_SETREDRAW, TRUE, 0);
    uint32_t shown = account_;
    account_ = 0;
    fill(shown);
}

void MessageRows::insertRow(RowKey key, const Message& m, int image) {
    std::string first(cellPiece(kinds_.empty() ? m.from() : cellText(kinds_[0], m)));
    int row = insertItem(-1, first, static_cast<LPARAM>(key));
    setImage(row, listImage(image));
    for (size_t i = 1; i < kinds_.size(); ++i)
        if (!isIconColumn(kinds_[i])) setText(row, static_cast<int>(i), std::string(cellPiece(cellText(kinds_[i], m))));
}

void MessageRows::fill(uint32_t accountId) {
    bool same = accountId != 0 && accountId == account_;
    account_ = accountId;
    Locked lock(*this);
    if (!lock) {
        if (!same) clear();
        return;
    }
    MessageSpan list = lock.list();
    std::vector<RowKey> keys = rowKeys(list);
    std::vector<int> images(list.size());
    std::unordered_set<RowKey> wanted;
    for (size_t i = 0; i < list.size(); ++i) {
        const Message& marks = lock.marks(*list[i]);
        images[i] = markImage(marks);
        if (!deletedOnly_ || marks.deleted()) wanted.insert(keys[i]);
    }

    SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
    std::unordered_set<RowKey> present;
    if (same) {
        for (int row = count() - 1; row >= 0; --row) {
            RowKey key = keyOf(row);
            if (wanted.count(key)) present.insert(key);
            else deleteItem(row);
        }
    } else {
        clear();
    }
    for (size_t i = 0; i < list.size(); ++i)
        if (wanted.count(keys[i]) && !present.count(keys[i])) insertRow(keys[i], *list[i], images[i]);
    SendMessageA(hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void MessageRows::refreshCells(int first, int last) {
    Locked lock(*this);
    if (!lock) return;
    last = std::min(last, count() - 1);
    for (int row = std::max(first, 0); row <= last; ++row) {
        const Message* m = lock.row(row);
        if (!m) continue;
        setImage(row, listImage(markImage(lock.marks(*m))));
        for (size_t i = 0; i < kinds_.size(); ++i)
            if (!isIconColumn(kinds_[i])) setText(row, static_cast<int>(i), std::string(cellPiece(cellText(kinds_[i], *m))));
    }
}

// ---- drawing

void MessageRows::drawRow(HDC dc, const RECT& rect, int row, UINT state) {
    bool selected = (state & ODS_SELECTED) != 0;
    FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    Locked lock(*this);
    if (!lock) return;  // the check holds the list; the row is drawn with the next paint
    const Message* m = lock.row(row);
    if (!m) return;
    const Message& marks = lock.marks(*m);

    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    SelectIn font(dc, !marks.read() && bold_ ? bold_.get() : font_);
    UINT imageStyle = ILD_TRANSPARENT | (selected ? ILD_SELECTED : 0);
    int pad = scaleFor(hwnd(), kPadding);
    int iconTop = rect.top + (rect.bottom - rect.top - iconSize_) / 2;
    auto drawIcon = [&](int image, const RECT& cell) {
        int width = std::min(iconSize_, static_cast<int>(cell.right - cell.left) - pad);
        if (image >= 0 && width > 0)
            ImageList_DrawEx(marks_.get(), image, dc, cell.left + pad, iconTop, width, iconSize_, CLR_NONE, CLR_DEFAULT,
                             imageStyle);
    };

    HWND header = ListView_GetHeader(hwnd());
    int columns = static_cast<int>(kinds_.size());
    std::vector<int> order(static_cast<size_t>(columns));
    if (!Header_GetOrderArray(header, columns, order.data()))
        for (int i = 0; i < columns; ++i) order[static_cast<size_t>(i)] = i;
    bool markDrawn = false;
    LONG focusLeft = rect.left;
    for (int column : order) {
        RECT cell = {};
        if (column < 0 || column >= columns || !Header_GetItemRect(header, column, &cell)) continue;
        cell.left += rect.left;
        cell.right += rect.left;
        cell.top = rect.top;
        cell.bottom = rect.bottom;
        uint32_t kind = kinds_[static_cast<size_t>(column)];
        if (isIconColumn(kind)) {
            drawIcon(cellImage(kind, *m), cell);
            continue;
        }
        if (!markDrawn) {
            markDrawn = true;
            drawIcon(markImage(marks), cell);
            cell.left += iconSize_ + pad;
            focusLeft = cell.left;
        }
        cell.left += pad;
        cell.right -= pad;
        if (cell.right <= cell.left) continue;
        std::string_view text = cellPiece(cellText(kind, *m));
        DrawTextA(dc, text.data(), static_cast<int>(text.size()), &cell,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    if (state & ODS_FOCUS) {
        RECT focus = rect;
        focus.left = focusLeft;
        DrawFocusRect(dc, &focus);
    }
}

int MessageRows::measureRow() const {
    WindowDC dc(hwnd());
    SelectIn font(dc, font_);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    int pad = scaleFor(hwnd(), kPadding);
    return std::max(static_cast<int>(tm.tmHeight), iconSize_) + pad;
}

// ---- commands

bool MessageRows::focusedHeader(std::string& text) const {
    Locked lock(*this);
    const Message* m = lock ? lock.row(focused()) : nullptr;
    if (!m) return false;
    text = m->headerText();
    return true;
}

void MessageRows::showHeader() {
    // A copy: the message may be gone after the next check while the viewer is open.
    std::string text;
    if (focusedHeader(text)) showHeaderViewer(GetAncestor(hwnd(), GA_ROOT), std::move(text));
}

void MessageRows::changeMarks(UINT id) {
    bool changed = false;
    {
        Locked lock(*this);
        if (!lock) return;
        bool countAsRead = engine_->settings().DontCalcDeleted;
        std::vector<int> rows = selectedItems();
        bool copies = false;
        for (int row : rows) {
            const Message* m = lock.row(row);
            if (!m) continue;  // gone with the last check
            // Copies of one message share their marks, as the check treats them.
            std::vector<Message*> identity = identityCopies(lock.list(), m->crc());
            copies |= identity.size() > 1;
            for (Message* copy : identity) {
                bool wasDeleted = copy->deleted(), wasRead = copy->read();
                switch (id) {
                case ID_MSG_DELETE:
                    copy->markDeleted(countAsRead);
                    break;
                case ID_MSG_UNDELETE:
                    copy->undelete();
                    break;
                case ID_MSG_MARK_READ:
                    copy->markRead();
                    break;
                default:
                    copy->markUnread();
                    break;
                }
                changed |= wasDeleted != copy->deleted() || wasRead != copy->read();
            }
        }
        // Rows of other copies show the marks too.
        if (copies) {
            rows.resize(static_cast<size_t>(count()));
            for (int row = 0; row < count(); ++row) rows[static_cast<size_t>(row)] = row;
        }
        for (int row : rows)
            if (const Message* m = lock.row(row)) setImage(row, listImage(markImage(lock.marks(*m))));
    }
    InvalidateRect(hwnd(), nullptr, FALSE);
    if (!changed) return;
    if (Account* account = engine_->find(account_)) engine_->recountUnread(*account);
    if (marksChanged_) marksChanged_(account_);
}

void MessageRows::command(UINT id) {
    switch (id) {
    case ID_MSG_DELETE:
    case ID_MSG_UNDELETE:
    case ID_MSG_MARK_READ:
    case ID_MSG_MARK_UNREAD:
        changeMarks(id);
        break;
    case ID_MSG_SELECT_ALL:
        selectAll();
        break;
    case ID_MSG_SHOW_HEADER:
        showHeader();
        break;
    default:
        break;  // Ctrl+L, and what this list does not offer
    }
}

void MessageRows::menuStates(HMENU menu) {
    auto enable = [&](UINT id, bool on) {
        EnableMenuItem(menu, id, MF_BYCOMMAND | (on && offers(id) ? MF_ENABLED : MF_GRAYED));
    };
    std::vector<int> rows = selectedItems();
    if (rows.empty()) {
        for (UINT id : kGreyedWithoutSelection) enable(id, false);
        return;
    }
    bool someDeleted = false, someKept = false, someRead = false, someUnread = false;
    {
        Locked lock(*this);
        for (size_t i = 0; lock && i < rows.size() && !(someDeleted && someKept && someRead && someUnread); ++i) {
            const Message* m = lock.row(rows[i]);
            if (!m) continue;
            const Message& marks = lock.marks(*m);
            (marks.deleted() ? someDeleted : someKept) = true;
            (marks.read() ? someRead : someUnread) = true;
        }
    }
    enable(ID_MSG_UNDELETE, someDeleted);
    enable(ID_MSG_DELETE, someKept);
    enable(ID_MSG_MARK_UNREAD, someRead);
    enable(ID_MSG_MARK_READ, someUnread);
    for (UINT id : kSelectionCommands) enable(id, true);
}

void MessageRows::contextMenu(LPARAM lp) {
    POINT at = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (lp == -1) {
        // From the keyboard: under the focused row.
        RECT rc = {};
        int row = focused();
        if (row < 0 || !ListView_GetItemRect(hwnd(), row, &rc, LVIR_BOUNDS)) GetClientRect(hwnd(), &rc);
        at = {rc.left, rc.bottom};
        ClientToScreen(hwnd(), &at);
    }
    MenuHandle menu(LoadMenuA(appInstance(), MAKEINTRESOURCEA(IDM_MESSAGES)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) return;
    menuStates(popup);
    UINT id = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr));
    if (id) command(id);
}

bool MessageRows::onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // The parent's guard would name the parent; a failure here names the list.
    bool handled = false;
    guarded(source_, static_cast<int>(msg), [&] { handled = reflected(msg, wp, lp, result); });
    return handled;
}

bool MessageRows::reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_DRAWITEM: {
        const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (d.itemID != static_cast<UINT>(-1)) drawRow(d.hDC, d.rcItem, static_cast<int>(d.itemID), d.itemState);
        result = TRUE;
        return true;
    }
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = static_cast<UINT>(measureRow());
        result = TRUE;
        return true;
    case WM_CONTEXTMENU:
        contextMenu(lp);
        result = 0;
        return true;
    default:
        return false;
    }
}

LRESULT MessageRows::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // Menu items and keys (table 184) come as commands to the list itself.
    if (msg == WM_COMMAND && lp == 0) {
        command(LOWORD(wp));
        return 0;
    }
    return ListView::onMessage(msg, wp, lp);
}
