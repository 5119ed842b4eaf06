#include "app/settings_text.h"

#include <cstdlib>

namespace brisel {

namespace {

constexpr size_t kMaxValue = 259;
// The outer size of the main window.
constexpr int kWindowWidth = 400, kWindowHeight = 198;

// atoi: leading spaces and a sign; text that is no number gives 0.
int32_t Decimal(const std::string& text) {
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

bool HasInnerSpace(const std::string& text) {
    size_t space = text.find(' ');
    return space != std::string::npos && space != 0;
}

}  // namespace

bool ReadSetting(std::string_view text, std::string_view key, std::string& value) {
    size_t at = text.find(key);
    if (at == std::string_view::npos) return false;
    size_t from = at + key.size();
    size_t to = text.find_first_of("\r\n", from);
    if (to == std::string_view::npos) to = text.size();
    std::string_view found = text.substr(from, to - from);
    // A UTF-8 value may take up to four bytes per character.
    size_t limit = found.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() + 4 * kMaxValue : kMaxValue;
    if (found.size() > limit) return false;
    value.assign(found);
    return true;
}

bool ReadPosition(std::string_view text, int& x, int& y) {
    std::string s(text);
    if (!HasInnerSpace(s)) return false;
    size_t space = s.find(' ');
    x = Decimal(s.substr(0, space));
    y = Decimal(s.substr(space + 1));
    return true;
}

StoredSettings ParseSettings(std::string_view text, int desktopRight, int desktopBottom) {
    StoredSettings s;
    std::string value;
    if (ReadSetting(text, "Position=", value)) s.Position = value;

    if (ReadSetting(text, "WindowSize=", value) && HasInnerSpace(value)) {
        int w = 0, h = 0;
        ReadPosition(value, w, h);
        int x = 0, y = 0;
        // A screen that changed size since the last exit: keep the window on it.
        if ((w != desktopRight || h != desktopBottom) && ReadPosition(s.Position, x, y)) {
            if (x + kWindowWidth > desktopRight) x = desktopRight - kWindowWidth > 0 ? desktopRight - kWindowWidth : 0;
            if (y + kWindowHeight > desktopBottom)
                y = desktopBottom - kWindowHeight > 0 ? desktopBottom - kWindowHeight : 0;
            s.Position = std::to_string(x) + " " + std::to_string(y);
        }
    }
    if (ReadSetting(text, "SaveFolder=", value)) s.SaveFolder = value;
    s.IsSaveFolder = ReadSetting(text, "IsSaveFolder=", value) && value == "TRUE";
    s.IsSameDate = ReadSetting(text, "IsSameDate=", value) && value == "TRUE";
    s.IsWarnLimit = !ReadSetting(text, "IsWarnLimit=", value) || value == "TRUE";
    s.WarnLimitN = ReadSetting(text, "WarnLimitN=", value) ? Decimal(value) : 50;
    auto positive = [&](const char* key, int32_t most, int32_t& setting) {
        if (!ReadSetting(text, key, value)) return;
        const int32_t n = Decimal(value);
        if (n >= 1 && n <= most) setting = n;
    };
    if (ReadSetting(text, "PartMode=", value) && value.size() == 1 && value[0] >= '0' && value[0] <= '3')
        s.PartMode = value[0] - '0';
    positive("PartEvery=", 999999, s.PartEvery);
    positive("PartLevel=", 99, s.PartLevel);
    if (ReadSetting(text, "PartRanges=", value)) s.PartRanges = value;
    positive("PartMaxMB=", 999999, s.PartMaxMB);
    return s;
}

std::string FormatSettings(const StoredSettings& s, int left, int top, int desktopRight, int desktopBottom) {
    auto flag = [](bool on) { return on ? "TRUE" : "FALSE"; };
    std::string out;
    out += "Position=" + std::to_string(left) + " " + std::to_string(top) + "\r\n";
    out += "WindowSize=" + std::to_string(desktopRight) + " " + std::to_string(desktopBottom) + "\r\n";
    out += "SaveFolder=" + s.SaveFolder + "\r\n";
    out += std::string("IsSaveFolder=") + flag(s.IsSaveFolder) + "\r\n";
    out += std::string("IsSameDate=") + flag(s.IsSameDate) + "\r\n";
    out += std::string("IsWarnLimit=") + flag(s.IsWarnLimit) + "\r\n";
    out += "WarnLimitN=" + std::to_string(s.WarnLimitN) + "\r\n";
    out += "PartMode=" + std::to_string(s.PartMode) + "\r\n";
    out += "PartEvery=" + std::to_string(s.PartEvery) + "\r\n";
    out += "PartLevel=" + std::to_string(s.PartLevel) + "\r\n";
    out += "PartRanges=" + s.PartRanges + "\r\n";
    out += "PartMaxMB=" + std::to_string(s.PartMaxMB) + "\r\n";
    return out;
}

}  // namespace brisel
