// kxinspect_agent.dll: loaded by kxinspect into an inspected process to read
// what the system does not let another process read. Menus are the case:
// Wine keeps them in the owning process only, so GetMenuItemInfo on another
// process's menu fails there, while on Windows it works. Reading in-process
// works on both. The tool starts kxReadMenu on a thread of its own in the
// process; nothing runs at load time.
#include <windows.h>

#include <cstring>

#include "Agent.h"
#include "Json.h"

namespace {

// Menus nest only a few levels; a cycle of submenus must not recurse forever.
constexpr int kMaxDepth = 8;

// `owner` is the window of a menu bar, or null for a popup menu; items of a
// menu on the screen get their rectangle there (for clicks), others null.
void writeItems(Json& out, HMENU menu, HWND owner, int depth)
{
    out.beginArray();
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &info)) continue;
        std::wstring text(info.cch + 1, L'\0');
        if (info.cch) {
            info.dwTypeData = text.data();
            info.cch = UINT(text.size());
            GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
        }
        text.resize(wcsnlen(text.c_str(), text.size()));
        out.beginObject();
        out.key("text").str(std::wstring_view(text));
        out.key("id").num(info.wID);
        out.key("separator").boolean(info.fType & MFT_SEPARATOR);
        out.key("enabled").boolean(!(info.fState & (MF_GRAYED | MF_DISABLED)));
        out.key("grayed").boolean(info.fState & MF_GRAYED);
        out.key("checked").boolean(info.fState & MFS_CHECKED);
        out.key("radio").boolean(info.fType & MFT_RADIOCHECK);
        out.key("default").boolean(info.fState & MFS_DEFAULT);
        out.key("ownerdraw").boolean(info.fType & MFT_OWNERDRAW);
        RECT rect{};
        out.key("rect");
        if (depth == 0 && GetMenuItemRect(owner, menu, UINT(i), &rect) && rect.right > rect.left)
            out.beginArray().num(rect.left).num(rect.top).num(rect.right).num(rect.bottom).endArray();
        else
            out.null();
        if (info.hSubMenu && depth < kMaxDepth) {
            out.key("items");
            writeItems(out, info.hSubMenu, nullptr, depth + 1);
        }
        out.endObject();
    }
    out.endArray();
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI kxReadMenu(void* parameter)
{
    auto* request = static_cast<MenuRequest*>(parameter);
    HWND owner = request->menu ? nullptr : reinterpret_cast<HWND>(request->window);
    HMENU menu = owner ? GetMenu(owner) : reinterpret_cast<HMENU>(request->menu);
    if (!menu || !IsMenu(menu)) return kMenuNone;
    Json out;
    writeItems(out, menu, owner, 0);
    if (out.text().size() > request->capacity) return kMenuTooLarge;
    memcpy(request->text, out.text().data(), out.text().size());
    request->length = uint32_t(out.text().size());
    return kMenuOk;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
