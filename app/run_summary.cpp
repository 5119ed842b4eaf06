// The box at the end of a split command: the result of one file as it has
// always been shown, or the summary of several.
#include "app/dialogs.h"

namespace brisel {

namespace {

bool Split(int result) { return result == kResultDone || result == kResultIncomplete; }

std::wstring FileName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The reason of a file that was not split, on one line.
std::wstring Reason(const FileOutcome& file, bool range) {
    UINT icon = 0;
    std::wstring text = ResultText(file.result, range, false, file.detail, {}, icon);
    if (text.empty()) text = Pick(L"Cancelled", L"キャンセルされました");
    for (wchar_t& c : text)
        if (c == L'\n') c = L' ';
    return text;
}

std::wstring Number(const wchar_t* english, const wchar_t* japanese, size_t a, size_t b = 0) {
    wchar_t text[160];
    wsprintfW(text, Pick(english, japanese), static_cast<int>(a), static_cast<int>(b));
    return text;
}

void ShowSummary(HWND owner, const SplitOrder& order, const RunOutcome& outcome) {
    const bool parts = order.kind == SplitKind::Parts;
    size_t split = 0;
    int64_t written = 0;
    for (const FileOutcome& file : outcome.files) {
        if (Split(file.result)) ++split;
        written += file.filesWritten;
    }
    std::wstring text = Number(L"Files split: %d of %d", L"分解したファイル：%d 件（全 %d 件中）", split, outcome.ordered);
    text += L"\n";
    text += parts ? Number(L"Parts written: %d", L"作成したパート：%d 個", static_cast<size_t>(written))
                  : Number(L"Page files written: %d", L"作成したファイル：%d 個", static_cast<size_t>(written));
    std::wstring failed;
    for (const FileOutcome& file : outcome.files)
        if (!Split(file.result) || file.result == kResultIncomplete)
            failed += L"\n" + FileName(file.path) + L": " + Reason(file, order.kind != SplitKind::All);
    if (outcome.files.size() < outcome.ordered)
        failed += L"\n" + Number(L"Not begun after Break: %d", L"中断により未処理：%d 件",
                                 outcome.ordered - outcome.files.size());
    if (!failed.empty()) text += L"\n\n" + std::wstring(Pick(L"Not split or incomplete:", L"分解できなかったファイル：")) + failed;
    ShowBox(owner, text, failed.empty() ? MB_ICONINFORMATION : MB_ICONWARNING);
}

}  // namespace

void ShowRunOutcome(HWND owner, const SplitOrder& order, const RunOutcome& outcome) {
    if (outcome.ordered > 1) {
        ShowSummary(owner, order, outcome);
        return;
    }
    const FileOutcome& file = outcome.files[0];
    const bool range = order.kind != SplitKind::All;
    if (order.kind == SplitKind::Parts && Split(file.result)) {
        // A parts split says how many parts it wrote.
        UINT icon = 0;
        std::wstring text = ResultText(file.result, range, outcome.remembered, file.detail, file.note, icon);
        text += Number(L"\n%d parts written.", L"\n%d 個のパートを作成しました。", static_cast<size_t>(file.filesWritten));
        ShowBox(owner, text, icon);
        return;
    }
    ShowResultMessage(owner, file.result, range, outcome.remembered, file.detail, file.note);
}

}  // namespace brisel
