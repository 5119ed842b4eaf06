// The progress window: a status line, a bar of one cell per percent and a
// Break button, shown while a worker thread runs the split job. It closes
// only when the job returns; Break just asks the job to stop.
#include <process.h>

#include "app/dialogs.h"
#include "app/win_job_host.h"
#include "resources/ids.h"

namespace brisel {

namespace {

struct ProgressRun {
    bool range;
    std::string path;  // UTF-8, for the engine
    WinJobHost host{nullptr};
    Job job{g_shell.app, host};
    HWND window = nullptr;
    HANDLE thread = nullptr;
    int result = kResultFailed;
    int barCount = 0;
    int drawnCount = 0;
};

// The bar's frame in client pixels; 100 cells of 3 pixels end at x = 320.
constexpr RECT kBarFrame = {20, 50, 321, 80};

unsigned __stdcall Worker(void* argument) {
    ProgressRun& run = *static_cast<ProgressRun*>(argument);
    run.result = run.range ? SplitPageRange(run.job, run.path) : SplitAllPages(run.job, run.path);
    SendMessageW(run.window, WM_COMMAND, ID_JOB_END, 0);
    return 0;
}

void PaintBar(HWND window, const ProgressRun& run) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));

    HPEN framePen = CreatePen(PS_SOLID, 1, RGB(150, 150, 150));
    HGDIOBJ oldPen = SelectObject(memory, framePen);
    HGDIOBJ oldBrush = SelectObject(memory, GetStockObject(WHITE_BRUSH));
    Rectangle(memory, kBarFrame.left, kBarFrame.top, kBarFrame.right, kBarFrame.bottom);

    HPEN cellPen = CreatePen(PS_SOLID, 0, RGB(150, 150, 150));
    SelectObject(memory, cellPen);
    SelectObject(memory, GetStockObject(GRAY_BRUSH));
    for (int i = 0; i < run.barCount; ++i) Rectangle(memory, 21 + 3 * i, 52, 23 + 3 * i, 78);

    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBrush);
    SelectObject(memory, oldPen);
    SelectObject(memory, oldBitmap);
    DeleteObject(framePen);
    DeleteObject(cellPen);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<ProgressRun*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            run = reinterpret_cast<ProgressRun*>(lParam);
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            CentreOnDesktop(window);
            run->barCount = 0;
            run->window = window;
            run->host.SetProgressWindow(window);
            run->job.StopCode = 0;
            run->thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker, run, 0, nullptr));
            run->drawnCount = 0;
            if (!run->thread) EndDialog(window, kResultFailed);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                    run->job.StopCode = kResultBreak;
                    return TRUE;
                case ID_PROGRESS:
                    run->barCount = static_cast<int>(lParam < 0 ? 0 : lParam > 100 ? 100 : lParam);
                    SetDlgItemTextW(window, ID_STATUS, Widen(run->job.StatusText).c_str());
                    if (run->barCount != run->drawnCount) {
                        InvalidateRect(window, &kBarFrame, TRUE);
                        run->drawnCount = run->barCount;
                    }
                    return TRUE;
                case ID_JOB_END:
                    EndDialog(window, run->result);
                    return TRUE;
            }
            return FALSE;
        case WM_ERASEBKGND:
            return TRUE;  // the paint covers the whole client area
        case WM_PAINT:
            if (!run) return FALSE;
            PaintBar(window, *run);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

int RunProgressWindow(HWND owner, bool range, int32_t firstPage, int32_t lastPage) {
    ProgressRun run;
    run.range = range;
    run.path = Utf8(g_shell.inputPath);
    run.job.FirstPage = firstPage;
    run.job.LastPage = lastPage;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"THDDLG", L"THDDLGE"), owner, ProgressDialogProc,
                                     reinterpret_cast<LPARAM>(&run));
    if (run.thread) {
        WaitForSingleObject(run.thread, INFINITE);
        CloseHandle(run.thread);
    }
    const int code = result == -1 ? kResultFailed : static_cast<int>(result);
    g_shell.resultDetail = ResultDetail(run.job, code);
    g_shell.renamedNote = RenamedNote(run.job);
    return code;
}

}  // namespace brisel
