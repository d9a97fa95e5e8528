/*******************************************************************************************
*  progress_win32.cpp — the first-start progress window, drawn with GDI
*
*  A 640 x 170 popup in the middle of the primary screen, always on top, that the user cannot
*  close. The worker thread writes the progress board and posts the status message; the done
*  message destroys the window and ends the loop with the quit code (0 success, 1 failure).
*  A thin accent bar along the bottom edge shows how much of a download has arrived when the
*  server gave its length.
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/palette.h"
#include "platform/win32/wide.h"

#include <climits>

#include <windows.h>

namespace vlr::platform {

namespace {

constexpr UINT kStatusMessage = WM_APP + 1;
constexpr UINT kDoneMessage = WM_APP + 2;
constexpr int kWidth = 640;
constexpr int kHeight = 170;
constexpr int kBarHeight = 3;
constexpr wchar_t kClassName[] = L"VelocrashFirstStart";

// Written before the worker starts, never changed while it runs.
HWND progressWindow = nullptr;
ProgressBoard* progressBoard = nullptr;

COLORREF colorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

void drawLine(HDC dc, RECT client, int top, const std::wstring& text) {
    client.top = top;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_CENTER | DT_SINGLELINE);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);

    HBRUSH background = CreateSolidBrush(colorRef(kRgbWindowBg));
    HBRUSH accent = CreateSolidBrush(colorRef(kRgbAccent));
    FillRect(dc, &client, background);
    RECT band = {client.left, client.top, client.right, 2};
    FillRect(dc, &band, accent);

    SetBkMode(dc, TRANSPARENT);
    HFONT title = CreateFontW(26, 0, 0, 0, 600, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Segoe UI");
    HFONT body = CreateFontW(18, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, L"Segoe UI");

    SetTextColor(dc, colorRef(kRgbTextPrimary));
    HGDIOBJ previous = SelectObject(dc, title);
    drawLine(dc, client, 36, L"Velocrash Rebuilt");

    SelectObject(dc, body);
    std::uint64_t received = 0, total = 0;
    if (progressBoard != nullptr) {
        std::lock_guard<std::mutex> hold(progressBoard->lock);
        drawLine(dc, client, 84, widen(progressBoard->status));
        received = progressBoard->received;
        total = progressBoard->total;
    }

    SetTextColor(dc, colorRef(kRgbTextSecondary));
    drawLine(dc, client, 112, L"First start: the launcher's files are being downloaded into this folder.");

    if (total > 0) {
        const std::uint64_t shown = received < total ? received : total;
        const LONG width = static_cast<LONG>((client.right - client.left) * shown / total);
        RECT bar = {client.left, client.bottom - kBarHeight, client.left + width, client.bottom};
        FillRect(dc, &bar, accent);
    }

    SelectObject(dc, previous);
    DeleteObject(title);
    DeleteObject(body);
    DeleteObject(background);
    DeleteObject(accent);
    EndPaint(window, &ps);
}

LRESULT CALLBACK progressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_CLOSE:
        return 0;  // Alt+F4 and the like: the first start cannot be cancelled
    case kStatusMessage:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case kDoneMessage:
        DestroyWindow(window);
        PostQuitMessage(wParam != 0 ? 0 : 1);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

struct WorkerStart {
    const std::function<bool()>* work;
    bool succeeded = false;
};

DWORD WINAPI workerMain(void* parameter) {
    WorkerStart* start = static_cast<WorkerStart*>(parameter);
    start->succeeded = (*start->work)();
    if (progressWindow != nullptr) PostMessageW(progressWindow, kDoneMessage, start->succeeded ? 1 : 0, 0);
    return 0;
}

}  // namespace

bool runWithProgressWindow(ProgressBoard& board, const std::function<bool()>& work) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = progressProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);  // a second registration fails harmlessly

    progressBoard = &board;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    progressWindow = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"Velocrash Rebuilt", WS_POPUP | WS_VISIBLE, x, y,
                                     kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    board.changed = [] {
        if (progressWindow != nullptr) PostMessageW(progressWindow, kStatusMessage, 0, 0);
    };

    WorkerStart start{&work};
    HANDLE thread = CreateThread(nullptr, 0, workerMain, &start, 0, nullptr);
    if (thread == nullptr) {
        // No thread to run it on: run it here, after taking the window down.
        if (progressWindow != nullptr) DestroyWindow(progressWindow);
        progressWindow = nullptr;
        board.changed = nullptr;
        progressBoard = nullptr;
        return work();
    }

    bool succeeded;
    if (progressWindow == nullptr) {
        // Nobody to receive the messages: the outcome comes from the worker itself.
        WaitForSingleObject(thread, INFINITE);
        succeeded = start.succeeded;
    } else {
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        succeeded = message.wParam == 0;
        WaitForSingleObject(thread, INFINITE);  // already past its last message; `start` lives until it ends
    }
    CloseHandle(thread);
    progressWindow = nullptr;
    board.changed = nullptr;
    progressBoard = nullptr;
    return succeeded;
}

}  // namespace vlr::platform
