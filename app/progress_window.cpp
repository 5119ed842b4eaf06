// The progress window: a status line, a bar of one cell per percent and a
// Break button, shown while a worker thread runs the split job. It closes
// only when the job returns; Break just asks the job to stop.
#include <process.h>

#include <atomic>

#include "app/dialogs.h"
#include "app/dpi.h"
#include "app/win_handles.h"
#include "app/win_job_host.h"
#include "resources/ids.h"

namespace brisel {

namespace {

// One run behind the progress window: the files of the order, one job
// after the other. The worker thread works on its own copy of the
// program's state; the window thread takes back what the jobs changed once
// the worker has ended.
struct ProgressRun {
    ProgressRun(const AppState& state, const SplitOrder& wanted) : order(wanted), app(state) {}
    const SplitOrder& order;
    std::vector<std::string> paths;  // UTF-8, for the engine
    AppState app;
    WinJobHost host;
    Job job{app, host};
    HWND window = nullptr;
    KernelHandle thread;
    // Written by the worker, read by the window thread after the worker
    // has sent ID_JOB_END (or while it waits in a send).
    std::vector<FileOutcome> outcomes;
    std::atomic<int> fileIndex{0};
    bool remembered = false;
    int barCount = 0;
    int drawnCount = 0;
};

// The run behind the progress window while one is shown; only the window
// thread touches it.
ProgressRun* g_running = nullptr;

// The bar's frame in client pixels at 96 DPI; 100 cells of 3 pixels end at
// x = 320.
constexpr RECT kBarFrame = {20, 50, 321, 80};

constexpr UINT kFileStarts = WM_APP + 2;

int SplitOne(ProgressRun& run, const std::string& path) {
    Job& job = run.job;
    job.FirstPage = run.order.firstPage;
    job.LastPage = run.order.lastPage;
    switch (run.order.kind) {
        case SplitKind::All:
            return SplitAllPages(job, path);
        case SplitKind::Range:
            return SplitPageRange(job, path);
        case SplitKind::Parts:
            // The output folder and time-stamp choices apply to parts as to
            // a page range (of the whole document).
            return SplitParts(job, path, true, run.order.parts);
    }
    return kResultFailed;
}

unsigned __stdcall Worker(void* argument) {
    ProgressRun& run = *static_cast<ProgressRun*>(argument);
    for (size_t k = 0; k < run.paths.size(); ++k) {
        // After Break the files not begun are skipped; the first always
        // runs, so that its job reports the stop.
        if (k > 0 && run.job.Stopped()) break;
        run.fileIndex = static_cast<int>(k);
        if (run.paths.size() > 1) SendMessageW(run.window, kFileStarts, k, 0);
        run.host.ResetWritten();
        run.app.RememberedPassword = false;
        FileOutcome outcome;
        outcome.path = run.order.files[k];
        outcome.result = SplitOne(run, run.paths[k]);
        outcome.detail = ResultDetail(run.job, outcome.result);
        outcome.note = RenamedNote(run.job);
        outcome.filesWritten = run.host.Written();
        if (outcome.result == kResultDone && run.app.RememberedPassword) run.remembered = true;
        run.outcomes.push_back(std::move(outcome));
    }
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
            run->host.SetTarget(window, true);
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
                    EndDialog(window, kResultDone);
                    return TRUE;
            }
            return FALSE;
        case kHostRequest:
            AnswerHostRequest(window, *reinterpret_cast<HostRequest*>(lParam));
            return TRUE;
        case kFileStarts: {
            // Several files: the caption counts them.
            wchar_t caption[96];
            wsprintfW(caption, Pick(L"Brisel - file %d of %d", L"Brisel - %d / %d ファイル目"),
                      static_cast<int>(wParam) + 1, static_cast<int>(run->paths.size()));
            SetWindowTextW(window, caption);
            return TRUE;
        }
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

RunOutcome RunProgressWindow(HWND owner, const SplitOrder& order) {
    AppState& app = g_shell.app;
    ProgressRun run(app, order);
    for (const std::wstring& file : order.files) run.paths.push_back(Utf8(file));
    // Part files keep the bookmarks that lead into them, as on the command
    // line.
    if (order.kind == SplitKind::Parts) run.app.Viewer.KeepOutlines = 1;
    g_running = &run;
    INT_PTR result = DialogBoxParamW(g_shell.instance, TemplateName(L"THDDLG", L"THDDLGE"), owner, ProgressDialogProc,
                                     reinterpret_cast<LPARAM>(&run));
    if (run.thread) WaitForSingleObject(run.thread.get(), INFINITE);
    g_running = nullptr;
    // What a job may change: the warning choice of the warn-limit dialog,
    // the password and whether it was the remembered one, the page count.
    app.IsWarnLimit = run.app.IsWarnLimit;
    app.PasswordText = run.app.PasswordText;
    app.RememberedPassword = run.remembered;
    app.PageCountCacheCount = run.app.PageCountCacheCount;
    app.PageCountCachePath = run.app.PageCountCachePath;
    RunOutcome outcome;
    outcome.files = std::move(run.outcomes);
    outcome.ordered = order.files.size();
    outcome.remembered = run.remembered;
    // The worker could not start: the first file failed.
    if (result == -1 || outcome.files.empty()) {
        if (outcome.files.empty() && !order.files.empty()) outcome.files.push_back({order.files[0], kResultFailed, {}, {}, 0});
    }
    return outcome;
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
