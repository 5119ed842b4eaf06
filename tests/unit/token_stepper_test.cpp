#include "pdfread/token_stepper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "security/scan_object.h"
#include "test_support.h"

namespace brisel {
namespace {

using test::BytesOf;
using test::TestJob;

// The tokens of a text as "kind:text" items.
std::string Tokens(const std::string& text, const StepRules& rules = {}) {
    Block b = BytesOf(text);
    Cursor cur = b.data();
    std::string out;
    static const char* kNames[] = {"end", "unclosed", "open", "close", "bracket", "string",
                                   "hex", "name", "word", "stream"};
    for (;;) {
        Cursor at;
        const Token token = StepToken(cur, b.end(), at, rules);
        out += kNames[static_cast<int>(token)];
        if (token == Token::End || token == Token::Unclosed) return out;
        out += ':';
        out.append(reinterpret_cast<const char*>(at), static_cast<size_t>(cur - at));
        out += ' ';
    }
}

TEST(StepToken, ReportsEachTokenOnce) {
    EXPECT_EQ(Tokens("<</A [1 0 R] %c\n/B (x(y)\\)) <0A>>> stream"),
              "open:<< name:/A bracket:[ word:1 word:0 word:R bracket:] name:/B string:(x(y)\\)) bracket:< "
              "word:0A close:>> bracket:> word:stream end");
    StepRules hex;
    hex.hexStrings = true;
    EXPECT_EQ(Tokens("<0A>>>(x", hex), "hex:<0A> close:>> unclosed");
    EXPECT_EQ(Tokens("<0A", hex), "unclosed");
}

// The repeated brackets and glued strings of the dictionary end finder's
// passes: each rule changes only its own case.
TEST(StepToken, RulesForOddBrackets) {
    StepRules repeatOpen;
    repeatOpen.repeatOpen = true;
    EXPECT_EQ(Tokens("<<<a <<<<", repeatOpen), "open:< open:<< word:a open:<< open:<< end");
    EXPECT_EQ(Tokens("<<<a", {}), "open:<< bracket:< word:a end");
    const StepRules second = StepRules::SecondDictPass();
    EXPECT_EQ(Tokens(">>>x a(b c)/N(d) ](e)", second),
              "close:> close:>>x word:a(b word:c bracket:) name:/N(d bracket:) bracket:] string:(e) end");
}

// FindDictEnd and FindKey("/Type") on odd dictionary bodies: where the end
// is found, where the key is and the code left when it is not found. The
// answers are those of the walkers before they shared the stepper, but for
// hexadecimal strings, which the key finder passes whole as the end finder
// does: a stray ">" after one hides no key.
TEST(FindDictEndAndKey, OddBodiesKeepTheirAnswers) {
    struct Case {
        const char* body;
        int dictEnd, key;
    };
    static const Case kCases[] = {
        {"/Type/Page/Kids[1 0 R]>>", 22, 0},
        {" /A <</Type/X>> /Type /Y>>", 24, 16},
        {"/A (x>>(y)z) /Type <0A>>> /B>>", 23, 13},
        {"/Type<0A>>>", 9, 0},
        {"/A <0A /Type>> 1>>", 16, -1},
        {"/A <</B<0C>>>> /Type 1>>", 22, 15},
        {"/A <</B<>>>> /Type 1>>", 20, 13},
        {"/A<</B(c)>>>>/Type /X>>", 11, -1},
        {"<<<a>> /Type 1>> >>", 17, -1},
        {"/A <<<</B 1>>>> /Type 2>>", 23, 16},
        {"/A (unbalanced /Type 1 >>", -1, -1},
        {"/A x(>>)>> /Type 3>>", 8, -1},
        {"/A 1>>(x)>>/Type>>", 4, -1},
        {" ](>>)>> /Type 4>>", 6, -1},
        {"%c /Type >>\n/Type (a)/Type>>", 26, 12},
        {"/Type)/Type{/Type}>>", 18, 6},
        {"/A [<<>><<>>]/Length 5 0 R >>", 27, -1},
        {"/Typ", -1, -1},
        {"/X /Type", -1, 3},
        {"/Xy /T", -1, -1},
        {"(a)b /Typ", -1, -1},
        {"/A x(y >>", 7, -1},
        {"/A (a)(b >>/Type", 9, -1},
        {"/A [<</B 1>>>x(>> /Type 1>>", 11, -1},
        {"/A <<(>> /Type>>", 14, -1},
    };
    for (const Case& c : kCases) {
        TestJob t;
        Block b = BytesOf(c.body);
        Cursor end = FindDictEnd(b.data(), b.end());
        Cursor key = FindKey("/Type", b.data(), b.end());
        EXPECT_EQ(end ? end - b.data() : -1, c.dictEnd) << c.body;
        EXPECT_EQ(key ? key - b.data() : -1, c.key) << c.body;
        EXPECT_EQ(t.job.LastError, 0) << c.body;  // found or absent, no failure
    }
}

TEST(ScanObject, HexStringBeforeDictionaryEnd) {
    // The string's ">" is no part of the ">>" that ends the dictionary.
    Block b = BytesOf("<</Length 3/ID <0A>>>stream\r\nabc\nendstream endobj");
    ObjectScan scan = ScanObject(b.data(), b.end(), nullptr);
    EXPECT_EQ(scan.kind, kStreamObject);
    EXPECT_EQ(scan.stop - b.data(), 29);
    // A cross-reference stream's data is stepped over, "endobj" inside it too.
    Block x = BytesOf("<</Type/XRef/Length 6>>stream\r\nendobj\nendstream endobj");
    scan = ScanObject(x.data(), x.end(), nullptr);
    EXPECT_EQ(scan.kind, kXrefStreamObject);
    EXPECT_EQ(scan.stop - x.data(), 48);
}

}  // namespace
}  // namespace brisel
