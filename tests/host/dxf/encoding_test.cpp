// Text of files before R2007: escaping on writing and its reading back.
#include "host/dxf/encoding.h"

#include <gtest/gtest.h>

#include <string>

using host::dxf::DecodeUnicodeEscapes;
using host::dxf::UnicodeEscaper;

namespace {

struct EscapeCase {
    const char* text;
    const char* escaped;
};

const EscapeCase kEscapes[] = {
    {"plain ASCII", "plain ASCII"},
    {"Grüße", "Gr\\U+00FC\\U+00DFe"},
    {"€ Ω 水", "\\U+20AC \\U+03A9 \\U+6C34"},
    {"😀!", "\\U+D83D\\U+DE00!"},                       // beyond U+FFFF: two surrogates
    {"C:\\U+0041 \\P \\", "C:\\U+005CU+0041 \\P \\"},  // a backslash that would start one
    {"\\U", "\\U"},
};

class Escaping : public testing::TestWithParam<EscapeCase> {};

// Whole, and cut into two pieces at every byte (a UTF-8 sequence or an escape split between
// the writer's buffers), the escaped text is the same, and reading gives the text back.
TEST_P(Escaping, GivesAsciiThatReadsBackAtEveryCut) {
    const std::string text = GetParam().text;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        UnicodeEscaper escaper;
        std::string out;
        escaper.Escape(std::string_view(text).substr(0, cut), out);
        escaper.Escape(std::string_view(text).substr(cut), out);
        escaper.Finish(out);
        EXPECT_EQ(out, GetParam().escaped) << "cut at " << cut;
        EXPECT_EQ(DecodeUnicodeEscapes(out), text) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Dxf, Escaping, testing::ValuesIn(kEscapes));

TEST(Escaping, SequenceCutAtTheEndBecomesTheReplacementCharacter) {
    UnicodeEscaper escaper;
    std::string out;
    escaper.Escape("a\xC3", out);
    escaper.Finish(out);
    EXPECT_EQ(out, "a\\U+FFFD");
}

TEST(Escaping, LoneOrBrokenSurrogateEscapesStayAsTheyAre) {
    EXPECT_EQ(DecodeUnicodeEscapes("\\U+D83Dx"), "\\U+D83Dx");
    EXPECT_EQ(DecodeUnicodeEscapes("\\U+D83D\\U+0041"), "\\U+D83DA");
    EXPECT_EQ(DecodeUnicodeEscapes("\\U+DE00"), "\\U+DE00");
}

}  // namespace
