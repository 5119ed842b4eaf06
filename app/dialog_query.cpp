#include "app/dialog_query.h"

#include <process.h>

#include <mutex>

#include "app/win_handles.h"

namespace brisel {

struct DialogQuery::State {
    explicit State(const AppState& state) : app(state) {}
    AppState app;
    WinJobHost host;
    Job job{app, host};
    Work work;
    QueryAnswer answer;
    std::mutex lock;
    HWND dialog = nullptr;  // null once the dialog stopped waiting
    WPARAM serial = 0;
};

namespace {

unsigned __stdcall QueryWorker(void* argument) {
    // The worker owns a reference, so the state outlives a dialog that
    // stopped waiting.
    std::unique_ptr<std::shared_ptr<DialogQuery::State>> owned(
        static_cast<std::shared_ptr<DialogQuery::State>*>(argument));
    DialogQuery::State& state = **owned;
    state.work(state.job, state.answer);
    state.answer.password = state.app.PasswordText;
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.dialog) PostMessageW(state.dialog, kQueryDone, state.serial, 0);
    return 0;
}

}  // namespace

bool DialogQuery::Start(HWND dialog, Work work) {
    Stop();
    auto state = std::make_shared<State>(g_shell.app);
    state->work = std::move(work);
    state->dialog = dialog;
    state->serial = ++serial_;
    state->host.SetTarget(dialog, false);
    auto* argument = new std::shared_ptr<State>(state);
    KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, QueryWorker, argument, 0, nullptr)));
    if (!thread) {
        delete argument;
        return false;
    }
    state_ = std::move(state);
    return true;
}

void DialogQuery::Stop() {
    if (!state_) return;
    state_->job.StopCode = kStopRequested;
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        state_->dialog = nullptr;
    }
    // A worker that still asks the dialog for a password is answered no:
    // its job has stopped.
    state_.reset();
}

bool DialogQuery::Matches(WPARAM serial) const { return state_ && state_->serial == serial; }

QueryAnswer DialogQuery::Finish() {
    QueryAnswer answer;
    if (!state_) return answer;
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        answer = std::move(state_->answer);
        state_->dialog = nullptr;
    }
    state_.reset();
    return answer;
}

}  // namespace brisel
