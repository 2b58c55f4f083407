// Tag level: group codes and values, line ends, encodings, value checks, writing.
#include "host/dxf/tags.h"

#include <gtest/gtest.h>

#include "host/dxf/encoding.h"

using namespace host::dxf;

namespace {

std::vector<std::pair<int, std::string>> ReadAll(std::string_view text) {
    std::vector<std::pair<int, std::string>> out;
    TagReader reader(text);
    TagView t;
    while (reader.Next(t))
        out.emplace_back(t.code, std::string(t.value));
    return out;
}

std::string ErrorOf(std::string_view text) {
    try {
        ReadAll(text);
    } catch (const DxfError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(DxfTagReader, ReadsEveryLineEnding) {
    const std::vector<std::pair<int, std::string>> expected = {
        {0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1024"}};
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        std::string text;
        for (auto& [c, v] : expected)
            text += "  " + std::to_string(c) + eol + v + eol;
        EXPECT_EQ(ReadAll(text), expected) << "line end " << int(eol[0]) << int(eol[1]);
    }
}

TEST(DxfTagReader, KeepsSpacesInsideStringValuesAndTrimsCodes) {
    auto tags = ReadAll("  1\n  two words  \n 10\n 1.5 \n");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].second, "  two words  ");
    EXPECT_EQ(tags[1].first, 10);
}

TEST(DxfTagReader, NamesTheLineOfBadInput) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"  0\nSECTION\nabc\nHEADER\n", "line 3: expected a group code, found \"abc\""},
        {"  0\nSECTION\n 10\nx1.5\n", "line 4: group code 10 needs a number, found \"x1.5\""},
        {" 70\n1.5\n", "line 2: group code 70 needs a integer, found \"1.5\""},
        {"330\nXYZ\n", "line 2: group code 330 needs a handle, found \"XYZ\""},
        {"  0\nSECTION\n  2\n",
         "line 3: the file ends after group code 2 without its value (truncated file?)"},
        {" 85\nx\n", "line 1: invalid group code 85"},
        {"2000\nx\n", "line 1: invalid group code 2000"},
        {" 40\nnan\n", "line 2: group code 40 needs a number, found \"nan\""},
        {"310\nABC\n", "line 2: group code 310 needs a hexadecimal binary data, found \"ABC\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.text), c.message) << c.text;
}

// Tags with lines ending in "\n" or "\r\n" are mostly read in one go; files whose lines end
// in a lone "\r" take the careful way through every line. Both must read every text alike:
// the same tags on the same lines, or the same error.
TEST(DxfTagReader, QuickAndCarefulReadingAgree) {
    const std::string longValue(300, 'x');
    const char* texts[] = {
        "  0\nSECTION\n  2\nHEADER\n",
        "0\nA\n-5\nreactors\n+10\n1.5\n1071\n7\n",
        "01071\n7\n00000000010\n2.5\n",  // more digits than the quick way takes
        "  0  \nA  \n 10 \n 1.5 \n",     // spaces around codes and numbers
        "\t0\nA\n  1\n\t\n",             // tabs
        "  1\n\n  1\n \n",               // empty and blank values
        "999\ncomment\n  0\nEOF\n\n\n",  // trailing blank lines
        "  1\nno line end at the end",
        " 70\n-32768\n 90\n+7\n330\n1f\n",
        "1072\nx\n",
        "  1\n",
        "  0\nA\n12345\nx\n",
        "abc\nx\n",
        " 70\n1.5\n",
        " 40\n 1e400\n",
        "  0\nA\n  \n  1\nB\n",  // a blank code line that is not at the end
        "-6\nx\n",
    };
    auto read = [](const std::string& text) {
        std::string out;
        try {
            TagReader reader(text);
            TagView t;
            while (reader.Next(t)) {
                out += std::to_string(t.line) + ":" + std::to_string(t.code) + "=" +
                       std::string(t.value) + "|";
            }
            out += "end at line " + std::to_string(reader.line());
        } catch (const DxfError& e) {
            out += std::string("error: ") + e.what();
        }
        return out;
    };
    for (const char* base : texts) {
        std::string plain = base;
        plain += "\n  1\n" + longValue + "\n";
        const std::string expected = read(plain);
        for (const char* eol : {"\r\n", "\r"}) {
            std::string text;
            for (char c : plain)
                text += c == '\n' ? std::string(eol) : std::string(1, c);
            EXPECT_EQ(read(text), expected) << "line end " << int(eol[1]) << ": " << base;
        }
    }
}

TEST(DxfTagReader, ToleratesTrailingBlankLines) {
    EXPECT_EQ(ReadAll("  0\nEOF\n\n\n").size(), 1u);
}

TEST(DxfValues, ParseNumbersAsWrittenByOtherPrograms) {
    double d = 0;
    EXPECT_TRUE(ParseDouble(" 1.0E+20", d));
    EXPECT_EQ(d, 1e20);
    EXPECT_TRUE(ParseDouble("-.5", d));
    EXPECT_EQ(d, -0.5);
    EXPECT_TRUE(ParseDouble("+3", d));
    EXPECT_FALSE(ParseDouble("inf", d));
    EXPECT_FALSE(ParseDouble("", d));
    std::int64_t i = 0;
    EXPECT_TRUE(ParseInt("     0", i));
    EXPECT_FALSE(ParseInt("1e3", i));
    std::uint64_t h = 0;
    EXPECT_TRUE(ParseHandle("1f", h));
    EXPECT_EQ(h, 0x1Fu);
    EXPECT_FALSE(ParseHandle("12345678901234567", h));
}

TEST(DxfValues, DoublesRoundTripExactly) {
    for (double v : {0.1, 1.0 / 3, 2.5, -1e-300, 123456789.125, 0.0}) {
        double back = -1;
        ASSERT_TRUE(ParseDouble(FormatDouble(v), back));
        EXPECT_EQ(back, v);
    }
    EXPECT_EQ(FormatDouble(2), "2.0");
    EXPECT_EQ(FormatDouble(-0.0), "0.0");
}

TEST(DxfEncoding, DecodesUnicodeEscapes) {
    EXPECT_EQ(DecodeUnicodeEscapes("Stra\\U+00DFe \\U+20AC"), "Straße €");
    EXPECT_EQ(DecodeUnicodeEscapes("bad \\U+12 end"), "bad \\U+12 end");
    EXPECT_EQ(DecodeUnicodeEscapes("\\U+D800x"), "\\U+D800x");
}

TEST(DxfEncoding, MapsCodePageNames) {
    EXPECT_EQ(IconvNameOfCodepage("ANSI_1252"), "CP1252");
    EXPECT_EQ(IconvNameOfCodepage("ansi_932"), "CP932");
    EXPECT_EQ(IconvNameOfCodepage("DOS850"), "CP850");
    EXPECT_EQ(IconvNameOfCodepage("ISO8859-2"), "ISO-8859-2");
    EXPECT_EQ(IconvNameOfCodepage("nonsense"), "");
}

TEST(DxfEncoding, ReadsOldFilesInTheirCodePage) {
    const std::string bytes =
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$DWGCODEPAGE\n  3\n"
        "ANSI_1251\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  1\n\xCF\xF0\xE8 "
        "\\U+00DF\n  0\nENDSEC\n  0\nEOF\n";
    DecodedText d = DecodeDxfText(bytes);
    EXPECT_EQ(d.version, "AC1015");
    EXPECT_EQ(d.codepage, "ANSI_1251");
    EXPECT_NE(d.text.find("При ß"), std::string::npos);
    EXPECT_TRUE(d.repairs.empty());
    // A code page the reader does not know is read as ANSI_1252, as a repair.
    DecodedText unknown =
        DecodeDxfText(std::string(bytes).replace(bytes.find("ANSI_1251"), 9, "KLINGON"));
    ASSERT_EQ(unknown.repairs.size(), 1u);
    EXPECT_EQ(unknown.repairs[0].code, host::dxf::RepairCode::kUnknownCodePage);
    EXPECT_EQ(unknown.repairs[0].Message(), "unknown code page \"KLINGON\" read as ANSI_1252");
}

TEST(DxfEncoding, NewFilesAreUtf8AndBadBytesAreRepaired) {
    const std::string good =
        "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1024\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  1\nÄ\n";
    DecodedText d = DecodeDxfText(good);
    EXPECT_FALSE(d.converted);
    EXPECT_TRUE(d.repairs.empty());
    DecodedText bad = DecodeDxfText(good + "  1\n\xFF\n");
    EXPECT_TRUE(bad.converted);
    ASSERT_EQ(bad.repairs.size(), 1u);
    EXPECT_EQ(bad.repairs[0].code, host::dxf::RepairCode::kInvalidUtf8);
    EXPECT_EQ(bad.repairs[0].text, "1 invalid UTF-8 sequence(s) replaced by U+FFFD");
    EXPECT_NE(bad.text.find("\xEF\xBF\xBD"), std::string::npos);
}

// The check of a large UTF-8 file tells where it has got to every few megabytes (the file's
// pages behind it are then handed back); it counts the same bad sequences as a check in one
// go, also where they lie at the places it stops at.
TEST(DxfEncoding, TheCheckOfLargeFilesCountsAlikeWhereItStops) {
    const std::string head = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1024\n";
    const std::size_t step = std::size_t(4) << 20;
    struct Case {
        const char* name;
        std::vector<std::pair<std::size_t, std::string>> bytes;  // where, what
        std::size_t bad;
    } cases[] = {
        {"none", {}, 0},
        {"around a stop", {{step - 1, "\xFF"}, {step, "\xFE"}, {step + 1, "\x80"}}, 3},
        {"a character across a stop", {{2 * step - 1, "€"}, {2 * step - 3, "\xC3\xA4"}}, 0},
        {"a cut sequence before a stop", {{step - 2, "\xE2\x82"}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = head + std::string(2 * step + 1000 - head.size(), 'a');
        for (auto& [at, b] : c.bytes)
            text.replace(at, b.size(), b);
        std::vector<const char*> reached;
        DecodedText d = DecodeDxfText(text, [&](const char* p) { reached.push_back(p); });
        DecodedText whole = DecodeDxfText(text);
        EXPECT_EQ(d.converted, c.bad > 0);
        EXPECT_EQ(d.text, whole.text);
        ASSERT_EQ(d.repairs.size(), c.bad ? 1u : 0u);
        if (c.bad) {
            EXPECT_EQ(d.repairs[0].text,
                      std::to_string(c.bad) + " invalid UTF-8 sequence(s) replaced by U+FFFD");
        }
        ASSERT_GE(reached.size(), 3u);
        for (std::size_t i = 0; i < reached.size(); ++i) {
            EXPECT_GE(reached[i], text.data());
            EXPECT_LT(reached[i], text.data() + text.size());
            if (i) {
                EXPECT_GE(reached[i] - reached[i - 1], static_cast<std::ptrdiff_t>(step));
            }
        }
    }
}

TEST(DxfEncoding, RefusesBinaryDxf) {
    EXPECT_THROW(DecodeDxfText(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22)), DxfError);
}

TEST(DxfTagWriter, WritesAlignedCodesAndEscapesLineBreaks) {
    std::string out;
    {
        TagWriter w([&](std::string_view s) { out += s; });
        w.Str(1, "a\nb");
        w.Int(70, 5);
        w.Real(40, 2.5);
        w.Handle(5, 0x2AF);
        w.Raw(1001, "APP");
    }
    EXPECT_EQ(out, "  1\na^Jb\n 70\n5\n 40\n2.5\n  5\n2AF\n1001\nAPP\n");
}

// Values written as they came from a file are checked where the group holds a number (a value
// the reader would refuse is not written); values the program formatted itself are not.
TEST(DxfTagWriter, RawValuesOfNumberGroupsMustReadBack) {
    struct Case {
        int code;
        const char* value;
        bool refused;
    } cases[] = {
        {40, "2.5", false},  {40, " -1e+20 ", false}, {40, "nan", true},    {40, "1e999", true},
        {10, "x", true},     {1040, "inf", true},     {1040, "0.5", false}, {1, "nan", false},
        {70, "nan", false},  {1071, "text", false},   {2000, "nan", false}, {-5, "nan", false},
        {145, "0.0", false}, {59, "", true},          {60, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " " + c.value);
        std::string out;
        bool refused = false;
        try {
            TagWriter w([&](std::string_view s) { out += s; });
            w.Raw(c.code, c.value);
        } catch (const TagWriter::Unwritable&) {
            refused = true;
        }
        EXPECT_EQ(refused, c.refused);
        std::string formatted;
        {
            TagWriter w([&](std::string_view s) { formatted += s; });
            w.Formatted(c.code, c.value);
        }
        char code[16];
        std::snprintf(code, sizeof code, "%3d\n", c.code);
        EXPECT_EQ(formatted, std::string(code) + c.value + "\n");
        if (!refused) {
            EXPECT_EQ(out, formatted);
        }
    }
}
