#include "pdfread/lexer.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;

// Runs ReadInt over the whole text: the value (-1 when refused) and how far
// the cursor moved.
struct IntRead {
    int32_t value;
    ptrdiff_t consumed;
};
IntRead ReadIntOf(const std::string& text) {
    Block b = BytesOf(text);
    Cursor cur = b.data();
    const Result<int32_t> v = ReadInt(cur, b.end());
    return {v.value_or(-1), cur - b.data()};
}

TEST(ReadInt, AcceptsDigitsEndedByTerminators) {
    EXPECT_EQ(ReadIntOf("12/Type").value, 12);
    EXPECT_EQ(ReadIntOf("12/Type").consumed, 2);
    EXPECT_EQ(ReadIntOf("007 ").value, 7);
    EXPECT_EQ(ReadIntOf("  % note\n 42]").value, 42);
}

TEST(ReadInt, RefusesWhatIsNotAPlainNumber) {
    IntRead glued = ReadIntOf("12a");
    EXPECT_EQ(glued.value, -1);
    EXPECT_EQ(glued.consumed, 0);  // left on the first digit
    for (const char* text : {"-5 ", "1.5 ", "   ", "% only a comment"}) EXPECT_EQ(ReadIntOf(text).value, -1) << text;
}

TEST(ReadInt, DigitsRunningToTheBound) {
    // Accepted when at most 20 bytes remain, refused beyond that.
    IntRead shortTail = ReadIntOf("123456");
    EXPECT_EQ(shortTail.value, 123456);
    EXPECT_EQ(shortTail.consumed, 6);
    EXPECT_EQ(ReadIntOf(std::string(21, '1')).value, -1);
    EXPECT_EQ(ReadIntOf(std::string(20, '0')).value, 0);
}

TEST(ReadInt, HugeNumbersSaturate) { EXPECT_EQ(ReadIntOf("99999999999999 ").value, INT32_MAX); }

// Offsets past 2 and 4 GiB read exactly; a longer run saturates without
// overflow; the failures are ReadInt's.
TEST(ReadLong, OffsetsPast32Bits) {
    auto read = [](const std::string& text) {
        Block b = BytesOf(text);
        Cursor cur = b.data();
        return ReadLong(cur, b.end()).value_or(-1);
    };
    EXPECT_EQ(read("2147483648 "), int64_t{2147483648});
    EXPECT_EQ(read("0004294967296\n"), int64_t{4294967296});
    EXPECT_EQ(read("9223372036854775807 "), kMaxLong);
    EXPECT_EQ(read(std::string(19, '9') + " "), kMaxLong);
    EXPECT_EQ(read("12a"), -1);
    EXPECT_EQ(read(std::string(21, '1')), -1);
}

Cursor FindKeyIn(const Block& b, const char* key) { return FindKey(key, b.data(), b.end()); }

TEST(FindKey, MatchesWholeKeysAtDepthZero) {
    Block b = BytesOf("/TypeX 1 /Type/Page");
    Cursor k = FindKeyIn(b, "/Type");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k - b.data(), 9);

    Block paren = BytesOf("/Type(x)");
    EXPECT_NE(FindKeyIn(paren, "/Type"), nullptr);
    Block closing = BytesOf("/Type) ");
    EXPECT_EQ(FindKeyIn(closing, "/Type"), nullptr);
}

TEST(FindKey, ANameValueEqualToTheKeyCounts) {
    Block b = BytesOf("/Type /Pages /Kids [1 0 R] /Pages 5 0 R");
    Cursor k = FindKeyIn(b, "/Pages");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k - b.data(), 6);
}

TEST(FindKey, SkipsNestedDictionariesStringsAndComments) {
    Block b = BytesOf("/A << /Key 1 >> /S (a \\) /Key ( nested ) ) % /Key\n /B 2");
    EXPECT_EQ(FindKeyIn(b, "/Key"), nullptr);
    EXPECT_NE(FindKeyIn(b, "/B"), nullptr);
}

TEST(FindKey, StopsAtTheBound) {
    Block b = BytesOf("/Root 1 0 R /Info");
    EXPECT_EQ(FindKey("/Info", b.data(), b.data() + 12), nullptr);
    // A key right before the bound is found (the bound is where ">>" stands).
    EXPECT_NE(FindKeyIn(b, "/Info"), nullptr);
}

TEST(FindDictEnd, BalancesNestingAndSkipsStrings) {
    Block b = BytesOf("/A (x >> y) /B << /C 1 >> /D <</E 2>> >> tail");
    Cursor e = FindDictEnd(b.data(), b.end());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e), 7), ">> tail");

    Block empty = BytesOf("<<>> >>");
    Cursor e2 = FindDictEnd(empty.data(), empty.end());
    ASSERT_NE(e2, nullptr);
    EXPECT_EQ(e2 - empty.data(), 5);
}

TEST(FindDictEnd, UnclosedDictionaryGivesNull) {
    Block b = BytesOf("/A << /B (never closed");
    EXPECT_EQ(FindDictEnd(b.data(), b.end()), nullptr);
}

TEST(FindBackward, IgnoresMatchesInsideComments) {
    Block b = BytesOf("x\n%%EOF\n% note %%EOF\n");
    Cursor cur = b.end();
    ASSERT_TRUE(FindBackward(b.data(), cur, "%%EOF"));
    EXPECT_EQ(cur - b.data(), 2);
}

TEST(FindBackward, NeedsWhiteSpaceAroundTheKeyword) {
    Block b = BytesOf("xstartxref 1\nstartxref\n9\n%%EOF");
    Cursor cur = b.end();
    ASSERT_TRUE(FindBackward(b.data(), cur, "%%EOF"));  // no line end after it
    ASSERT_TRUE(FindBackward(b.data(), cur, "startxref"));
    EXPECT_EQ(cur - b.data(), 13);
    ASSERT_FALSE(FindBackward(b.data(), cur, "startxref"));
}

TEST(LiteralString, DecodesEscapesAndLineEnds) {
    Block b = BytesOf("a\\(b\\)\\101\\\r\nc\r\nd\\n(e)\\7x)rest");
    Cursor cur = b.data();
    uint8_t out[64];
    int n = ReadLiteralString(cur, b.end(), out, sizeof out);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n)), "a(b)Ac\nd\n(e)\x07x");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(cur), 4), "rest");
}

TEST(LiteralString, ReportsEndAndCapacity) {
    uint8_t out[4];
    Block open = BytesOf("abc\\");
    Cursor cur = open.data();
    EXPECT_EQ(ReadLiteralString(cur, open.end(), out, sizeof out), -1);
    Block longer = BytesOf("abcdef)");
    cur = longer.data();
    EXPECT_EQ(ReadLiteralString(cur, longer.end(), out, sizeof out), -2);
}

TEST(HexString, ReadsPairsAndAnOddDigit) {
    Block b = BytesOf("41 4>");
    Cursor cur = b.data();
    uint8_t out[8];
    ASSERT_EQ(ReadHexString(cur, b.end(), out, sizeof out), 2);
    EXPECT_EQ(out[0], 0x41);
    EXPECT_EQ(out[1], 0x40);
    EXPECT_EQ(cur, b.end());
    Block unterminated = BytesOf("414");
    cur = unterminated.data();
    EXPECT_EQ(ReadHexString(cur, unterminated.end(), out, sizeof out), -1);
}

TEST(ObjectHeader, SkipsReferencesAndFalseHeaders) {
    Block b = BytesOf("garbage 4 0 R 5 0 objx (7 0 obj) 1.5 12 0 obj\n<< >> endobj\n");
    Cursor header = nullptr;
    ASSERT_EQ(FindObjectHeader(b.data(), b.end(), header), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header), 8), "12 0 obj");
}

TEST(ObjectHeader, NoneFoundEndsCleanly) {
    Block b = BytesOf("no objects here at all\n");
    Cursor header = nullptr;
    EXPECT_LT(FindObjectHeader(b.data(), b.end(), header), 0);
}

TEST(ObjectEnd, EndsAtEndobjAndNotesCatalogs) {
    Block b = BytesOf("<< /Type /Catalog /S (endobj) >>\nendobj\n");
    Cursor end = nullptr;
    bool catalogSeen = false;
    ASSERT_EQ(FindObjectEnd(b.data(), b.end(), end, catalogSeen), 0);
    EXPECT_TRUE(catalogSeen);
    // The word endobj inside a string followed by white space ends early.
    Block early = BytesOf("<< /S (x endobj ) >>\nendobj\n");
    ASSERT_EQ(FindObjectEnd(early.data(), early.end(), end, catalogSeen), 0);
    EXPECT_EQ(end - early.data(), 15);
    // endobj followed only by white space up to the end of the image.
    Block last = BytesOf("<< /A 1 >> endobj\n");
    ASSERT_EQ(FindObjectEnd(last.data(), last.end(), end, catalogSeen), 0);
    EXPECT_EQ(end, last.end() - 1);
}

TEST(ObjectEnd, MissingEndobjFails) {
    Block b = BytesOf("<< /A 1 >> stream data without an end");
    Cursor end = nullptr;
    bool catalogSeen = false;
    EXPECT_LT(FindObjectEnd(b.data(), b.end(), end, catalogSeen), 0);
}

// Every primitive on every prefix of a tricky text: the sanitizers check that
// none reads past the end of its exact-size block.
TEST(LexerBounds, NoPrimitiveReadsPastTheEnd) {
    const std::string text = "1 0 obj << /Type /Catalog /K (a\\)(b) <41> %c\n [1 2 R] >> endobj startxref %%EOF";
    for (size_t n = 0; n <= text.size(); ++n) {
        for (size_t from = 0; from <= n; ++from) {
            Block b = BytesOf(text.substr(from, n - from));
            Cursor cur = b.data();
            static_cast<void>(ReadInt(cur, b.end()));
            cur = b.data();
            static_cast<void>(SkipSpace(cur, b.end()));
            FindKey("/K", b.data(), b.end());
            FindDictEnd(b.data(), b.end());
            cur = b.end();
            FindBackward(b.data(), cur, "%%EOF");
            uint8_t out[16];
            cur = b.data();
            ReadLiteralString(cur, b.end(), out, sizeof out);
            cur = b.data();
            ReadHexString(cur, b.end(), out, sizeof out);
            Cursor found = nullptr;
            bool catalogSeen = false;
            FindObjectHeader(b.data(), b.end(), found);
            FindObjectEnd(b.data(), b.end(), found, catalogSeen);
        }
    }
}

// A reference written as a value: the part that is missing, and where the
// cursor stands after a whole one ("R" needs no delimiter after it).
TEST(ReadReferenceValue, ReportsTheMissingPart) {
    struct Case {
        const char* text;
        PartFault fault;
        ptrdiff_t after;
    };
    static const Case kCases[] = {{" 12 %c\n 0 R/Next", PartFault::None, 11}, {"12 0 Rx", PartFault::None, 6},
                                  {"x", PartFault::Number, -1},         {"12 x", PartFault::Generation, -1},
                                  {"12 0 ", PartFault::End, -1},         {"12 0 obj", PartFault::NoKeyword, -1}};
    for (const Case& c : kCases) {
        Block b = BytesOf(c.text);
        Cursor cur = b.data();
        int32_t number = 0, generation = 0;
        EXPECT_EQ(ReadReferenceValue(cur, b.end(), number, generation), c.fault) << c.text;
        if (c.after >= 0) {
            EXPECT_EQ(cur - b.data(), c.after) << c.text;
            EXPECT_EQ(number, 12);
            EXPECT_EQ(generation, 0);
        }
    }
}

}  // namespace
}  // namespace brisel
