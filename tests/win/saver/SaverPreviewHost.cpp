// Stands in for the desktop's preview picture: a window of its own with the
// screen saver started inside it ("/p HWND"), closed after the given seconds.
// Prints whether the saver was still running when the host closed and how it
// ended; exits 0 only when it ran until then and ended with its host.
//   SaverPreviewHost SAVER.scr SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HANDLE saverProcess;
bool aliveAtClose;

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        KillTimer(window, 1);
        aliveAtClose = WaitForSingleObject(saverProcess, 0) == WAIT_TIMEOUT;
        std::printf("saver %s when the host closed\n", aliveAtClose ? "running" : "gone");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: SaverPreviewHost SAVER.scr SECONDS\n");
        return 2;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "SaverPreviewHost";
    RegisterClassA(&wc);
    // Client area 300 x 200 at (100, 100): no frame, so window and client agree.
    HWND host = CreateWindowExA(0, wc.lpszClassName, "Saver Preview Host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                100, 100, 300, 200, nullptr, nullptr, instance, nullptr);
    if (!host)
        return 2;

    std::string command = std::string("\"") + argv[1] + "\" /p " +
                          std::to_string(reinterpret_cast<UINT_PTR>(host));
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("saver not started: %lu\n", GetLastError());
        return 2;
    }
    CloseHandle(pi.hThread);
    saverProcess = pi.hProcess;
    SetTimer(host, 1, static_cast<UINT>(std::atoi(argv[2]) * 1000), nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    int result = aliveAtClose ? 0 : 1;
    if (WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        std::printf("saver ended: %lu\n", code);
        if (code != 0)
            result = 1;
    } else {
        std::printf("saver still running\n");
        TerminateProcess(pi.hProcess, 1);
        result = 1;
    }
    std::fflush(stdout);
    CloseHandle(pi.hProcess);
    return result;
}
