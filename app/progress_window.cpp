// The progress window: a status line, a bar of one cell per percent and a
// Break button, shown while a worker thread runs the split job. It closes
// only when the job returns; Break just asks the job to stop.
#include <process.h>

#include "app/dialogs.h"
#include "app/dpi.h"
#include "app/win_handles.h"
#include "app/win_job_host.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// One job behind the progress window. The worker thread works on its own
// copy of the program's state; the window thread takes back what the job
// changed once the worker has ended.
struct ProgressRun {
    explicit ProgressRun(const AppState& state) : app(state) {}
    bool range = false;
    std::string path;  // UTF-8, for the engine
    AppState app;
    WinJobHost host{nullptr};
    Job job{app, host};
    HWND window = nullptr;
    KernelHandle thread;
    int result = kResultFailed;
    int barCount = 0;
    int drawnCount = 0;
};

// The run behind the progress window while one is shown; only the window
// thread touches it.
ProgressRun* g_running = nullptr;

// The bar's frame in client pixels at 96 DPI; 100 cells of 3 pixels end at
// x = 320.
constexpr RECT kBarFrame = {20, 50, 321, 80};

unsigned __stdcall Worker(void* argument) {
    ProgressRun& run = *static_cast<ProgressRun*>(argument);
    run.result = run.range ? SplitPageRange(run.job, run.path) : SplitAllPages(run.job, run.path);
    SendMessageW(run.window, WM_COMMAND, ID_JOB_END, 0);
    return 0;
}

void PaintBar(HWND window, const ProgressRun& run) {
    PaintDc paint(window);
    HDC dc = paint.get();
    const UINT dpi = WindowDpi(window);
    RECT client;
    GetClientRect(window, &client);
    MemoryDc memory(CreateCompatibleDC(dc));
    Bitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (!memory || !bitmap) return;
    {
        Selection selectedBitmap(memory.get(), bitmap.get());
        FillRect(memory.get(), &client, GetSysColorBrush(COLOR_BTNFACE));

        const RECT frame = Scale(kBarFrame, dpi);
        Pen framePen(CreatePen(PS_SOLID, Scale(1, dpi), RGB(150, 150, 150)));
        {
            Selection pen(memory.get(), framePen.get());
            Selection brush(memory.get(), GetStockObject(WHITE_BRUSH));
            Rectangle(memory.get(), frame.left, frame.top, frame.right, frame.bottom);
        }
        Pen cellPen(CreatePen(PS_SOLID, 0, RGB(150, 150, 150)));
        Selection pen(memory.get(), cellPen.get());
        Selection brush(memory.get(), GetStockObject(GRAY_BRUSH));
        for (int i = 0; i < run.barCount; ++i)
            Rectangle(memory.get(), Scale(21 + 3 * i, dpi), Scale(52, dpi), Scale(23 + 3 * i, dpi), Scale(78, dpi));

        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
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
            run->thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker, run, 0, nullptr)));
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
                        RECT frame = Scale(kBarFrame, WindowDpi(window));
                        InvalidateRect(window, &frame, TRUE);
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
    AppState& app = g_shell.app;
    ProgressRun run(app);
    run.range = range;
    run.path = Utf8(g_shell.inputPath);
    run.job.FirstPage = firstPage;
    run.job.LastPage = lastPage;
    g_running = &run;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"THDDLG", L"THDDLGE"), owner, ProgressDialogProc,
                                     reinterpret_cast<LPARAM>(&run));
    if (run.thread) WaitForSingleObject(run.thread.get(), INFINITE);
    g_running = nullptr;
    // What a job may change: the warning choice of the warn-limit dialog,
    // the password and whether it was the remembered one, the page count.
    app.IsWarnLimit = run.app.IsWarnLimit;
    app.PasswordText = run.app.PasswordText;
    app.RememberedPassword = run.app.RememberedPassword;
    app.PageCountCacheCount = run.app.PageCountCacheCount;
    app.PageCountCachePath = run.app.PageCountCachePath;
    const int code = result == -1 ? kResultFailed : static_cast<int>(result);
    g_shell.resultDetail = ResultDetail(run.job, code);
    g_shell.renamedNote = RenamedNote(run.job);
    return code;
}

bool JobRunning() { return g_running != nullptr; }

void StopRunningJob(DWORD wait) {
    ProgressRun* run = g_running;
    if (!run) return;
    run->job.StopCode = kResultBreak;
    HANDLE thread = run->thread.get();
    if (!thread) return;
    // The worker reports through SendMessage to the progress window: those
    // calls are served while waiting, and nothing else is dispatched.
    const ULONGLONG until = GetTickCount64() + wait;
    for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
        const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, static_cast<DWORD>(until - now), QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace brisel
