// A question a dialog asks of the input file (its page count, its parts at
// bookmarks), answered on a worker thread so that the dialog stays
// responsive and can stop it. The worker reaches the dialog only by
// messages: kHostRequest for a password, kQueryDone when it has ended.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/win_job_host.h"

namespace brisel {

constexpr UINT kQueryDone = WM_APP + 3;

// What one query found; read by the window thread after kQueryDone.
struct QueryAnswer {
    int32_t pages = -1;
    std::vector<int32_t> partsPerLevel;
    std::string password;  // the password that opened the file, if one was asked
};

class DialogQuery {
public:
    using Work = std::function<void(Job& job, QueryAnswer& answer)>;
    DialogQuery() = default;
    DialogQuery(const DialogQuery&) = delete;
    DialogQuery& operator=(const DialogQuery&) = delete;
    ~DialogQuery() { Stop(); }

    // Runs work on a copy of the program's state; posts kQueryDone to the
    // dialog when it has ended. false when the thread cannot start.
    bool Start(HWND dialog, Work work);
    // The dialog no longer waits: the job is asked to stop, and whatever it
    // finds is dropped. The worker ends on its own.
    void Stop();
    bool Running() const { return static_cast<bool>(state_); }
    // Whether a kQueryDone (its wParam) comes from the query now running,
    // not from one stopped before.
    bool Matches(WPARAM serial) const;
    // After kQueryDone: the answer, and the query is over.
    QueryAnswer Finish();

    struct State;

private:
    std::shared_ptr<State> state_;
    WPARAM serial_ = 0;
};

}  // namespace brisel
