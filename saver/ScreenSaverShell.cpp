// The screen-saver library's side of the contract, for toolchains whose
// libscrnsave.a is an empty stub: the program's entry, the command line the
// desktop passes, the saver and preview windows, and DefScreenSaverProc,
// which ends a full-screen run on input. The password on lock is the
// system's business since Windows NT; nothing here asks for one.
#include <windows.h>
#include <scrnsave.h>

#include <cctype>
#include <cstdlib>

HINSTANCE hMainInstance;
HWND hMainWindow;
WINBOOL fChildPreview;
TCHAR szName[TITLEBARNAMELEN];
TCHAR szAppName[APPNAMEBUFFERLEN];
TCHAR szIniFile[MAXFILELEN];
TCHAR szScreenSaver[22];
TCHAR szHelpFile[MAXFILELEN];
TCHAR szNoHelpMemory[BUFFLEN];
UINT MyHelpMessage;

namespace {

const char kWindowClass[] = "WindowsScreenSaverClass";
constexpr int kIconId = 105;
// The pointer may jitter by this much before the saver takes it as the user's.
constexpr int kMouseSlack = 4;

POINT startCursor;
bool closing;

void closeOnInput(HWND window) {
    if (!closing) {
        closing = true;
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

struct CommandLine {
    char mode = 0;  // 's', 'p', 'c', 'a', or 0 without arguments
    HWND window = nullptr;
};

// "/s", "/p 1234", "/c:1234", "-S"...: a switch letter, then an optional
// window handle in decimal after blanks or a colon.
CommandLine parseCommandLine(const char* text) {
    CommandLine result;
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '/' || *text == '-') ++text;
    if (!*text)
        return result;
    result.mode = static_cast<char>(std::tolower(static_cast<unsigned char>(*text++)));
    if (result.mode == 'l')
        result.mode = 'p';
    while (*text == ' ' || *text == '\t' || *text == ':') ++text;
    if (std::isdigit(static_cast<unsigned char>(*text)))
        result.window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(text, nullptr, 10)));
    return result;
}

INT_PTR CALLBACK configureThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return ScreenSaverConfigureDialog(dialog, message, wParam, lParam);
}

int configure(HINSTANCE instance, HWND parent) {
    if (!RegisterDialogClasses(instance))
        return 1;
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_SCRNSAVECONFIGURE), parent, configureThunk, 0);
    return result == -1 ? 1 : 0;
}

int runSaver(HINSTANCE instance, HWND previewParent) {
    fChildPreview = previewParent != nullptr;
    if (fChildPreview && !IsWindow(previewParent))
        return 1;
    if (!fChildPreview) {
        // One full-screen saver at a time: a second start shows the first.
        if (HWND running = FindWindowA(kWindowClass, nullptr)) {
            SetForegroundWindow(running);
            return 0;
        }
    }

    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ScreenSaverProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconId));
    wc.hCursor = fChildPreview ? LoadCursorA(nullptr, IDC_ARROW) : nullptr;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc))
        return 1;

    HWND window;
    if (fChildPreview) {
        RECT parentRect;
        GetClientRect(previewParent, &parentRect);
        window = CreateWindowExA(0, kWindowClass, "Preview", WS_CHILD | WS_VISIBLE, 0, 0, parentRect.right,
                                 parentRect.bottom, previewParent, nullptr, instance, nullptr);
    } else {
        GetCursorPos(&startCursor);
        window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, szName, WS_POPUP | WS_VISIBLE,
                                 GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                 GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                                 nullptr, nullptr, instance, nullptr);
    }
    if (!window)
        return 1;
    hMainWindow = window;
    if (!fChildPreview)
        SetForegroundWindow(window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

LRESULT WINAPI DefScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!fChildPreview) {
        switch (message) {
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return TRUE;
        case WM_MOUSEMOVE: {
            POINT now;
            GetCursorPos(&now);
            if (std::abs(now.x - startCursor.x) > kMouseSlack || std::abs(now.y - startCursor.y) > kMouseSlack)
                closeOnInput(window);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
            closeOnInput(window);
            return 0;
        case WM_ACTIVATEAPP:
            if (!wParam)
                closeOnInput(window);
            break;
        case WM_SYSCOMMAND:
            // Neither another saver nor the window menu while this one runs.
            if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_KEYMENU)
                return 0;
            break;
        }
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Windows NT keeps the saver's password with the user's logon password, so
// there is nothing to change here.
void WINAPI ScreenSaverChangePassword(HWND parent) {
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    hMainInstance = instance;
    LoadStringA(instance, idsAppName, szAppName, sizeof szAppName);
    LoadStringA(instance, IDS_DESCRIPTION, szName, sizeof szName);
    LoadStringA(instance, idsIniFile, szIniFile, sizeof szIniFile);
    LoadStringA(instance, idsScreenSaver, szScreenSaver, sizeof szScreenSaver);
    LoadStringA(instance, idsHelpFile, szHelpFile, sizeof szHelpFile);
    LoadStringA(instance, idsNoHelpMemory, szNoHelpMemory, sizeof szNoHelpMemory);

    CommandLine args = parseCommandLine(commandLine);
    switch (args.mode) {
    case 's':
        return runSaver(instance, nullptr);
    case 'p':
        return args.window ? runSaver(instance, args.window) : 1;
    case 'a':
        ScreenSaverChangePassword(args.window);
        return 0;
    case 'c':
        // Without a handle the dialog stands alone rather than disabling
        // whichever window of another program happens to be in front.
        return configure(instance, args.window);
    default:
        // Started without arguments (the desktop's "Configure"): the dialog.
        return configure(instance, nullptr);
    }
}
