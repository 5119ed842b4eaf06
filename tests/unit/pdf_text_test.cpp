#include "base/pdf_text.h"

#include <gtest/gtest.h>

#include "split/part_plan.h"

namespace brisel {
namespace {

using namespace std::string_literals;

// Each encoding a text string may use, with the marks and the damage that
// real files carry.
TEST(PdfText, DecodesEveryEncoding) {
    const struct {
        std::string bytes, utf8;
    } cases[] = {
        // PDFDocEncoding: Latin-1 above A0, its own marks in 18..1F and 80..A0.
        {"Q\x85" "A \x92 \xA0 \xDC" "ber", "Q\xE2\x80\x93" "A \xE2\x84\xA2 \xE2\x82\xAC \xC3\x9C" "ber"},
        {"\x18\x1F\x93\x9E", "\xCB\x98\xCB\x9C\xEF\xAC\x81\xC5\xBE"},
        // Bytes it leaves undefined.
        {"a\x7F\x9F\xAD", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        // UTF-16BE with a pair of surrogates, a lone one, an odd last byte.
        {"\xFE\xFF\x00\xDC\xD8\x3D\xDE\x00"s, "\xC3\x9C\xF0\x9F\x98\x80"},
        {"\xFE\xFF\xDC\x00\x00" "a\x00"s, "\xEF\xBF\xBD" "a\xEF\xBF\xBD"},
        // A language mark (ESC "de" ESC) is no text.
        {"\xFE\xFF\x00\x1B\x00" "d\x00" "e\x00\x1B\x00" "x"s, "x"},
        // UTF-8 after its mark; a malformed byte alone is replaced.
        {"\xEF\xBB\xBF\xC3\x9C" "b\xC0", "\xC3\x9C" "b\xEF\xBF\xBD"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PdfTextToUtf8(c.bytes), c.utf8) << c.utf8;
    // Every PDFDocEncoding character the encoder gives back decodes to itself.
    for (int b = 0; b < 256; ++b) {
        const char32_t c = PdfDocCharacter(static_cast<unsigned char>(b));
        EXPECT_EQ(PdfDocByte(c), c == kReplacementCharacter ? -1 : b) << b;
    }
    std::string encoded;
    EXPECT_TRUE(Utf8ToPdfDoc("r\xC3\xA9sum\xE2\x82\xAC", encoded));
    EXPECT_EQ(encoded, "r\xE9sum\xA0");
    EXPECT_FALSE(Utf8ToPdfDoc("\xE4\xB8\x80", encoded));  // no CJK in the encoding
    EXPECT_FALSE(Utf8ToPdfDoc("\xC0\x80", encoded));      // overlong
    std::u32string chars;
    EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80", chars));  // a surrogate
}

TEST(PdfText, TitlesAsFileNames) {
    const struct {
        std::string title, name;
    } cases[] = {
        {"Q\x85" "A \x92 \xA0", "Q\xE2\x80\x93" "A \xE2\x84\xA2 \xE2\x82\xAC"},
        {"\xEF\xBB\xBF\xC3\x9C" "bersicht", "\xC3\x9C" "bersicht"},
        {".hidden", "_hidden"},
        {"\xEF\xBB\xBF" "evil\xE2\x80\xAE" "fdp.exe", "evil" "fdp.exe"},
        {"\xFE\xFF\x00" ".\x20\x2E\x00" "a"s, "_a"},
        {"\xEF\xBB\xBF" "a\xE2\x80\x8B" "b\xE2\x80\xA8" "c", "ab_c"},
        {"a/b:c?", "a_b_c_"},
        {"end. ", "end._"},
        {"CON", "CON_"},
        {"nul.x", "nul_.x"},
        {"Com7 .txt", "Com7 _.txt"},
        {"COM10", "COM10"},
        {"console", "console"},
    };
    for (const auto& c : cases) EXPECT_EQ(TitleForFileName(c.title), c.name) << c.title;
    EXPECT_EQ(TitleForFileName(std::string(200, 'x')).size(), 120u);
}

}  // namespace
}  // namespace brisel
