#include "pdfread/lexer.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::TestJob;

// Runs ReadInt over the whole text; returns the value and leaves the code.
struct IntRead {
    int32_t value;
    int32_t error;
    ptrdiff_t consumed;
};
IntRead ReadIntOf(const std::string& text) {
    TestJob t;
    Block b = BytesOf(text);
    Cursor cur = b.data();
    int32_t v = ReadInt(t.job, cur, b.end());
    return {v, t.job.LastError, cur - b.data()};
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
    EXPECT_EQ(glued.error, -13);
    EXPECT_EQ(glued.consumed, 0);  // left on the first digit
    EXPECT_EQ(ReadIntOf("-5 ").error, -11);
    EXPECT_EQ(ReadIntOf("1.5 ").error, -13);
    EXPECT_EQ(ReadIntOf("   ").error, -10);
    EXPECT_EQ(ReadIntOf("% only a comment").error, -10);
}

TEST(ReadInt, DigitsRunningToTheBound) {
    // Accepted when at most 20 bytes remain, refused beyond that.
    IntRead shortTail = ReadIntOf("123456");
    EXPECT_EQ(shortTail.value, 123456);
    EXPECT_EQ(shortTail.consumed, 6);
    EXPECT_EQ(ReadIntOf(std::string(21, '1')).error, -12);
    EXPECT_EQ(ReadIntOf(std::string(20, '0')).value, 0);
}

TEST(ReadInt, HugeNumbersSaturate) { EXPECT_EQ(ReadIntOf("99999999999999 ").value, INT32_MAX); }

// Offsets past 2 and 4 GiB read exactly; a longer run saturates without
// overflow; the failures are ReadInt's.
TEST(ReadLong, OffsetsPast32Bits) {
    auto read = [](const std::string& text) {
        TestJob t;
        Block b = BytesOf(text);
        Cursor cur = b.data();
        return ReadLong(t.job, cur, b.end());
    };
    EXPECT_EQ(read("2147483648 "), int64_t{2147483648});
    EXPECT_EQ(read("0004294967296\n"), int64_t{4294967296});
    EXPECT_EQ(read("9223372036854775807 "), kMaxLong);
    EXPECT_EQ(read(std::string(19, '9') + " "), kMaxLong);
    EXPECT_EQ(read("12a"), -1);
    EXPECT_EQ(read(std::string(21, '1')), -1);
}

Cursor FindKeyIn(TestJob& t, const Block& b, const char* key) { return FindKey(t.job, key, b.data(), b.end()); }

TEST(FindKey, MatchesWholeKeysAtDepthZero) {
    TestJob t;
    Block b = BytesOf("/TypeX 1 /Type/Page");
    Cursor k = FindKeyIn(t, b, "/Type");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k - b.data(), 9);

    Block paren = BytesOf("/Type(x)");
    EXPECT_NE(FindKeyIn(t, paren, "/Type"), nullptr);
    Block closing = BytesOf("/Type) ");
    EXPECT_EQ(FindKeyIn(t, closing, "/Type"), nullptr);
}

TEST(FindKey, ANameValueEqualToTheKeyCounts) {
    TestJob t;
    Block b = BytesOf("/Type /Pages /Kids [1 0 R] /Pages 5 0 R");
    Cursor k = FindKeyIn(t, b, "/Pages");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k - b.data(), 6);
}

TEST(FindKey, SkipsNestedDictionariesStringsAndComments) {
    TestJob t;
    Block b = BytesOf("/A << /Key 1 >> /S (a \\) /Key ( nested ) ) % /Key\n /B 2");
    EXPECT_EQ(FindKeyIn(t, b, "/Key"), nullptr);
    EXPECT_NE(FindKeyIn(t, b, "/B"), nullptr);
}

TEST(FindKey, StopsAtTheBound) {
    TestJob t;
    Block b = BytesOf("/Root 1 0 R /Info");
    t.job.LastError = -77;
    EXPECT_EQ(FindKey(t.job, "/Info", b.data(), b.data() + 12), nullptr);
    EXPECT_EQ(t.job.LastError, -77);  // an absent key is no failure: the code is left alone
    // A key right before the bound is found (the bound is where ">>" stands).
    EXPECT_NE(FindKeyIn(t, b, "/Info"), nullptr);
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
    TestJob t;
    Block b = BytesOf("x\n%%EOF\n% note %%EOF\n");
    Cursor cur = b.end();
    ASSERT_EQ(FindBackward(t.job, b.data(), cur, "%%EOF"), 1);
    EXPECT_EQ(cur - b.data(), 2);
}

TEST(FindBackward, NeedsWhiteSpaceAroundTheKeyword) {
    TestJob t;
    Block b = BytesOf("xstartxref 1\nstartxref\n9\n%%EOF");
    Cursor cur = b.end();
    ASSERT_EQ(FindBackward(t.job, b.data(), cur, "%%EOF"), 1);  // no line end after it
    ASSERT_EQ(FindBackward(t.job, b.data(), cur, "startxref"), 1);
    EXPECT_EQ(cur - b.data(), 13);
    ASSERT_EQ(FindBackward(t.job, b.data(), cur, "startxref"), 0);
    EXPECT_EQ(t.job.LastError, -14);
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
    TestJob t;
    Block b = BytesOf("garbage 4 0 R 5 0 objx (7 0 obj) 1.5 12 0 obj\n<< >> endobj\n");
    Cursor header = nullptr;
    ASSERT_EQ(FindObjectHeader(t.job, b.data(), b.end(), header), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header), 8), "12 0 obj");
}

TEST(ObjectHeader, NoneFoundEndsCleanly) {
    TestJob t;
    Block b = BytesOf("no objects here at all\n");
    Cursor header = nullptr;
    EXPECT_LT(FindObjectHeader(t.job, b.data(), b.end(), header), 0);
}

TEST(ObjectEnd, EndsAtEndobjAndNotesCatalogs) {
    TestJob t;
    Block b = BytesOf("<< /Type /Catalog /S (endobj) >>\nendobj\n");
    Cursor end = nullptr;
    bool catalogSeen = false;
    ASSERT_EQ(FindObjectEnd(t.job, b.data(), b.end(), end, catalogSeen), 0);
    EXPECT_TRUE(catalogSeen);
    // The word endobj inside a string followed by white space ends early.
    Block early = BytesOf("<< /S (x endobj ) >>\nendobj\n");
    ASSERT_EQ(FindObjectEnd(t.job, early.data(), early.end(), end, catalogSeen), 0);
    EXPECT_EQ(end - early.data(), 15);
    // endobj followed only by white space up to the end of the image.
    Block last = BytesOf("<< /A 1 >> endobj\n");
    ASSERT_EQ(FindObjectEnd(t.job, last.data(), last.end(), end, catalogSeen), 0);
    EXPECT_EQ(end, last.end() - 1);
}

TEST(ObjectEnd, MissingEndobjFails) {
    TestJob t;
    Block b = BytesOf("<< /A 1 >> stream data without an end");
    Cursor end = nullptr;
    bool catalogSeen = false;
    EXPECT_LT(FindObjectEnd(t.job, b.data(), b.end(), end, catalogSeen), 0);
}

// Every primitive on every prefix of a tricky text: the sanitizers check that
// none reads past the end of its exact-size block.
TEST(LexerBounds, NoPrimitiveReadsPastTheEnd) {
    const std::string text = "1 0 obj << /Type /Catalog /K (a\\)(b) <41> %c\n [1 2 R] >> endobj startxref %%EOF";
    for (size_t n = 0; n <= text.size(); ++n) {
        for (size_t from = 0; from <= n; ++from) {
            TestJob t;
            Block b = BytesOf(text.substr(from, n - from));
            Cursor cur = b.data();
            ReadInt(t.job, cur, b.end());
            t.job.LastError = 0;
            cur = b.data();
            SkipSpace(t.job, cur, b.end());
            FindKey(t.job, "/K", b.data(), b.end());
            FindDictEnd(b.data(), b.end());
            cur = b.end();
            FindBackward(t.job, b.data(), cur, "%%EOF");
            uint8_t out[16];
            cur = b.data();
            ReadLiteralString(cur, b.end(), out, sizeof out);
            cur = b.data();
            ReadHexString(cur, b.end(), out, sizeof out);
            Cursor found = nullptr;
            bool catalogSeen = false;
            t.job.LastError = 0;
            FindObjectHeader(t.job, b.data(), b.end(), found);
            t.job.LastError = 0;
            FindObjectEnd(t.job, b.data(), b.end(), found, catalogSeen);
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
        TestJob t;
        Block b = BytesOf(c.text);
        Cursor cur = b.data();
        int32_t number = 0, generation = 0;
        EXPECT_EQ(ReadReferenceValue(t.job, cur, b.end(), number, generation), c.fault) << c.text;
        if (c.after >= 0) {
            EXPECT_EQ(cur - b.data(), c.after) << c.text;
            EXPECT_EQ(number, 12);
            EXPECT_EQ(generation, 0);
        }
    }
}

}  // namespace
}  // namespace brisel
