// The Windows program's text rules: the settings file and the command line.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line_text.h"
#include "app/settings_text.h"

namespace brisel {
namespace {

std::string Summary(const StoredSettings& s) {
    return "pos=" + s.Position + " folder=" + s.SaveFolder + " save=" + std::to_string(s.IsSaveFolder) +
           " date=" + std::to_string(s.IsSameDate) + " warn=" + std::to_string(s.IsWarnLimit) +
           " n=" + std::to_string(s.WarnLimitN);
}

std::string Parts(const StoredSettings& s) {
    return std::to_string(s.PartMode) + " " + std::to_string(s.PartEvery) + " " + std::to_string(s.PartLevel) + " [" +
           s.PartRanges + "] " + std::to_string(s.PartMaxMB);
}

TEST(SettingsFile, WrittenByteForByteAndReadBack) {
    StoredSettings s;
    s.SaveFolder = "C:\\out";
    s.IsSaveFolder = true;
    s.IsWarnLimit = false;
    s.WarnLimitN = 120;
    s.PartMode = 2;
    s.PartRanges = "1-3,7,9-";
    const std::string text = FormatSettings(s, -8, 40, 1024, 768);
    // The seven keys keep their bytes; the parts dialog's follow them.
    EXPECT_EQ(text,
              "Position=-8 40\r\nWindowSize=1024 768\r\nSaveFolder=C:\\out\r\nIsSaveFolder=TRUE\r\n"
              "IsSameDate=FALSE\r\nIsWarnLimit=FALSE\r\nWarnLimitN=120\r\n"
              "PartMode=2\r\nPartEvery=10\r\nPartLevel=1\r\nPartRanges=1-3,7,9-\r\nPartMaxMB=10\r\n");
    EXPECT_EQ(Summary(ParseSettings(text, 1024, 768)), "pos=-8 40 folder=C:\\out save=1 date=0 warn=0 n=120");
    EXPECT_EQ(Parts(ParseSettings(text, 1024, 768)), "2 10 1 [1-3,7,9-] 10");
    // No file at all, or a file of an older version: the defaults.
    EXPECT_EQ(Summary(ParseSettings("", 1024, 768)), "pos= folder= save=0 date=0 warn=1 n=50");
    EXPECT_EQ(Parts(ParseSettings("WarnLimitN=5\r\n", 1024, 768)), "0 10 1 [] 10");
    // Values out of range keep the defaults.
    EXPECT_EQ(Parts(ParseSettings("PartMode=4\r\nPartEvery=0\r\nPartLevel=100\r\nPartMaxMB=-1\r\n", 1024, 768)),
              "0 10 1 [] 10");
    EXPECT_EQ(Parts(ParseSettings("PartMode=1\r\nPartEvery=3\r\nPartLevel=2\r\nPartMaxMB=700\r\n", 1024, 768)),
              "1 3 2 [] 700");
}

TEST(SettingsFile, KeysAreFoundAsSubstringsAndValuesAreStrict) {
    // A hand-edited file: the first occurrence wins, even inside another key.
    EXPECT_EQ(Summary(ParseSettings("IsSaveFolder=TRUE\nSaveFolder=D:\\x\n", 1024, 768)),
              "pos= folder=TRUE save=1 date=0 warn=1 n=50");
    EXPECT_EQ(Summary(ParseSettings("IsSameDate=true\r\nIsWarnLimit=\r\nWarnLimitN= -7\r\n", 1024, 768)),
              "pos= folder= save=0 date=0 warn=0 n=-7");
    EXPECT_EQ(ParseSettings("WarnLimitN=abc", 1024, 768).WarnLimitN, 0);
    std::string value;
    EXPECT_TRUE(ReadSetting("xxKey=v1\rKey=v2", "Key=", value));
    EXPECT_EQ(value, "v1");
    EXPECT_TRUE(ReadSetting("Key=" + std::string(259, 'a'), "Key=", value));
    EXPECT_FALSE(ReadSetting("Key=" + std::string(260, 'a'), "Key=", value));
    EXPECT_FALSE(ReadSetting("Ke=y", "Key=", value));
    // A folder in UTF-8 behind the mark may hold 259 characters of 3 bytes.
    std::string wide = std::string(kUtf8Mark);
    for (int i = 0; i < 259; ++i) wide += "\xE6\x97\xA5";
    EXPECT_TRUE(ReadSetting("SaveFolder=" + wide + "\r\n", "SaveFolder=", value));
    EXPECT_EQ(value, wide);
}

TEST(SettingsFile, PositionFollowsAScreenThatChangedSize) {
    auto position = [](const std::string& stored, int right, int bottom) {
        return ParseSettings(stored, right, bottom).Position;
    };
    EXPECT_EQ(position("Position=1500 300\r\nWindowSize=1920 1080\r\n", 1024, 768), "624 300");
    EXPECT_EQ(position("Position=1500 700\r\nWindowSize=1920 1080\r\n", 1024, 768), "624 570");
    EXPECT_EQ(position("Position=900 700\r\nWindowSize=1920 1080\r\n", 300, 100), "0 0");
    // Same screen: the position is kept as stored (the window is clamped later).
    EXPECT_EQ(position("Position=1500 300\r\nWindowSize=1024 768\r\n", 1024, 768), "1500 300");
    // No usable WindowSize or Position: nothing moves.
    EXPECT_EQ(position("Position=1500 300\r\nWindowSize= 1920\r\n", 1024, 768), "1500 300");
    EXPECT_EQ(position("Position=1500\r\nWindowSize=1920 1080\r\n", 1024, 768), "1500");
    int x = 0, y = 0;
    EXPECT_FALSE(ReadPosition(" 10", x, y));
    EXPECT_TRUE(ReadPosition("-32000 -32000", x, y));
    EXPECT_EQ(x + y, -64000);
}

TEST(CommandLine, LanguageSwitches) {
    struct Case {
        const wchar_t* line;
        Language before, after;
        const wchar_t* rest;
    } cases[] = {
        {L"/US", Language::Japanese, Language::English, L""},
        {L"/jp  C:\\a.pdf", Language::English, Language::Japanese, L"C:\\a.pdf"},
        {L"/Jpc:\\a.pdf", Language::English, Language::Japanese, L"c:\\a.pdf"},
        {L"/uS\"C:\\a b.pdf\"", Language::Japanese, Language::English, L"\"C:\\a b.pdf\""},
        {L"/ux a.pdf", Language::Japanese, Language::Japanese, L"/ux a.pdf"},
        {L"a.pdf /us", Language::Japanese, Language::Japanese, L"a.pdf /us"},
    };
    for (const Case& c : cases) {
        std::wstring line = c.line;
        Language language = c.before;
        ApplyLanguageSwitch(line, language);
        EXPECT_EQ(language, c.after) << std::wstring(c.line).size();
        EXPECT_EQ(line, c.rest);
    }
}

TEST(CommandLine, PathAndArguments) {
    struct Case {
        const wchar_t* line;
        const wchar_t* path;
        bool more;
    } cases[] = {
        {L"C:\\a.pdf", L"C:\\a.pdf", false},
        {L"\"C:\\my files\\a.pdf\"", L"C:\\my files\\a.pdf", false},
        {L"\"C:\\x\\a.pdf\" \"C:\\x\\b.pdf\"", L"C:\\x\\a.pdf", true},
        {L"\"C:\\never closed.pdf", L"C:\\never closed.pdf", true},
        {L"a.pdf b.pdf", L"a.pdf", true},
        {L"\"日本 \u00e9.pdf\"", L"日本 \u00e9.pdf", false},
    };
    for (const Case& c : cases) {
        CommandLinePath read = ReadCommandLinePath(c.line);
        EXPECT_EQ(read.path, c.path);
        EXPECT_EQ(read.more, c.more) << read.path.size();
    }
    EXPECT_EQ(ArgumentsAfterProgram(L"\"C:\\Program Files\\Brisel.exe\"  -Bs"), L"-Bs");
    EXPECT_EQ(ArgumentsAfterProgram(L"Brisel.exe \"a b.pdf\""), L"\"a b.pdf\"");
    EXPECT_EQ(ArgumentsAfterProgram(L"Brisel.exe"), L"");
    for (const wchar_t* yes : {L"x.pdf", L"x.PDF", L"C:\\a.Pdf"}) EXPECT_TRUE(NamesPdf(yes)) << yes;
    for (const wchar_t* no : {L".pdf", L"x.pdfa", L"xpdf", L"x.pd", L""}) EXPECT_FALSE(NamesPdf(no));
}

TEST(CommandLine, OptionFile) {
    struct Case {
        std::string bytes, line, path;
        bool utf8;
    } cases[] = {
        {"/d100 /p1 /nt /ok\nC:\\in\\a.pdf\n", "/d100 /p1 /nt /ok", "C:\\in\\a.pdf", false},
        {"/d100\r\nC:\\a.pdf\r\n", "/d100", "C:\\a.pdf", false},
        {"/d100\nC:\\a.pdf", "/d100", "C:\\a.pdf", false},
        {"/d100\nC:\\a.pdf\rx\n", "/d100", "C:\\a.pdf\rx", false},
        {"/d100\nC:\\a.pdf\nmore\n", "/d100", "C:\\a.pdf\nmore", false},
        {"\xEF\xBB\xBF/ok\nC:\\\xE6\x97\xA5.pdf\n", "/ok", "C:\\\xE6\x97\xA5.pdf", true},
        {"/d100", "/d100", "", false},
        {"", "", "", false},
    };
    for (const Case& c : cases) {
        OptionFileText split = SplitOptionFile(c.bytes);
        EXPECT_EQ(split.optionLine, c.line);
        EXPECT_EQ(split.inputPath, c.path);
        EXPECT_EQ(split.utf8, c.utf8);
    }
}

}  // namespace
}  // namespace brisel
