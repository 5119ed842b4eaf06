// Password preparation against Python's Unicode 3.2 normalisation and RFC
// 3454 tables (digests from scripts/gen-saslprep-tables), and the examples
// of RFC 4013.
#include <gtest/gtest.h>

#include <string>

#include "saslprep_expected.h"
#include "security/saslprep.h"
#include "security/sha2.h"

namespace brisel {
namespace {

std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The digest the generator computes: each prepared text and a line feed, or
// "!" and a line feed for a refused one.
class Digest {
public:
    Digest() { Sha256Init(context_); }
    void Add(const std::string& text) {
        std::string out;
        std::string line = SaslPrep(text, out) ? out + "\n" : "!\n";
        Sha256Update(context_, reinterpret_cast<const uint8_t*>(line.data()), line.size());
    }
    std::string Hex() {
        uint8_t digest[32];
        Sha256Final(digest, context_);
        static const char kDigits[] = "0123456789abcdef";
        std::string out;
        for (uint8_t b : digest) (out += kDigits[b >> 4]) += kDigits[b & 15];
        return out;
    }

private:
    Sha256Context context_;
};

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

TEST(SaslPrep, EveryCodePointAloneAndAmongMarksPreparesAsUnicode32Does) {
    Digest singles, marked;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (IsSurrogate(c)) continue;
        singles.Add(Utf8(c));
        if (c < 0x30000) {
            std::string text = "a";
            text += Utf8(c);
            text += "\xCC\x81\xCC\xA3";
            marked.Add(text);
        }
    }
    EXPECT_EQ(singles.Hex(), kSaslPrepSinglesDigest);
    EXPECT_EQ(marked.Hex(), kSaslPrepMarkedDigest);
}

TEST(SaslPrep, Rfc4013ExamplesAndMalformedText) {
    const std::pair<std::string, std::string> prepared[] = {
        {"I\xC2\xAD" "X", "IX"},                       // soft hyphen mapped to nothing
        {"user", "user"},                              // no transformation
        {"USER", "USER"},                              // case preserved
        {"\xC2\xAA", "a"},                             // feminine ordinal
        {"\xE2\x85\xA8", "IX"},                        // Roman numeral nine
        {"a\xC2\xA0" "b", "a b"},                      // no-break space becomes a space
        {"e\xCC\x81", "\xC3\xA9"},                     // composed
        {"\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", "\xEA\xB0\x81"},  // Hangul jamo compose
        {"\xEF\xBD\xB6\xEF\xBE\x9E", "\xE3\x82\xAC"},  // half-width katakana and voiced mark
        {"", ""},
    };
    for (const auto& [in, expected] : prepared) {
        std::string out;
        ASSERT_TRUE(SaslPrep(in, out)) << in;
        EXPECT_EQ(out, expected) << in;
    }
    const std::string refused[] = {
        std::string("a\x07", 2),          // control character
        "\xD8\xA7" "1",                   // right-to-left text that ends with a digit
        "\xD8\xA7" "a\xD8\xA7",           // both directions
        "\xEE\x80\x80",                   // private use
        "\xC3",                           // cut UTF-8
        "\xC0\xAF",                       // overlong
        "\xED\xA0\x80",                   // a surrogate
        "\xF4\x90\x80\x80",               // beyond U+10FFFF
        std::string(1025, 'a'),           // not a password
    };
    for (const std::string& in : refused) {
        std::string out;
        EXPECT_FALSE(SaslPrep(in, out)) << in;
    }
}

}  // namespace
}  // namespace brisel
