// The settings file Brisel.ini as text: finding a key, reading the seven
// settings and writing them back, byte for byte. Portable, so that the rules
// are tested on every platform; settings_file.cpp does the Windows side.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

// The settings as the file holds them. SaveFolder keeps the file's bytes:
// the ANSI code page, or UTF-8 after kUtf8Mark for a folder the ANSI code
// page cannot hold.
struct StoredSettings {
    std::string Position;  // "x y", or empty
    std::string SaveFolder;
    bool IsSaveFolder = false;
    bool IsSameDate = false;
    bool IsWarnLimit = true;
    int32_t WarnLimitN = 50;
    // The parts dialog, written after the seven keys above.
    int32_t PartMode = 0;  // 0 every N pages, 1 at bookmarks, 2 page ranges, 3 by size
    int32_t PartEvery = 10;
    int32_t PartLevel = 1;
    std::string PartRanges;
    int32_t PartMaxMB = 10;
};

// Marks a SaveFolder value written in UTF-8 (the byte-order mark).
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The value after the first occurrence of key anywhere in the text, up to
// the next CR, LF or the end. false when the key is absent or the value is
// longer than the limit (259 characters, or as many in UTF-8 after the mark).
bool ReadSetting(std::string_view text, std::string_view key, std::string& value);

// Reads every setting; a key that is absent keeps its default, and so does
// a part setting out of its range. When the
// stored desktop size differs from the current one (desktopRight,
// desktopBottom), a stored position is pulled back onto the screen.
StoredSettings ParseSettings(std::string_view text, int desktopRight, int desktopBottom);

// The seven lines of the settings above, then the five of the parts
// dialog, each ended by CR LF.
std::string FormatSettings(const StoredSettings& settings, int left, int top, int desktopRight, int desktopBottom);

// Reads "x y" (two decimal numbers separated by a space); false without a
// space after the first character.
bool ReadPosition(std::string_view text, int& x, int& y);

}  // namespace brisel
