// Reading a file or bytes as a document: UTF-8 drawings are checked while they are parsed,
// and when the check finds invalid sequences the result is that of parsing the repaired text
// (the repair reported once, before those of the parse; errors naming the repaired text).
#include "host/dxf/document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxf_test_util.h"

using namespace host::dxf;

namespace {

const std::string kHeader = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1024\n  0\nENDSEC\n";
const std::string kHead = kHeader + "  0\nSECTION\n  2\nENTITIES\n";
const std::string kTail = "  0\nENDSEC\n  0\nEOF\n";

// TEXT entities with these texts.
std::string Texts(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts)
        out += "  0\nTEXT\n  5\n1F\n  1\n" + t + "\n";
    return out;
}

// A text long enough that the file is read in several steps (the check keeps a few
// megabytes ahead of the parser).
const std::string kLong(std::size_t(9) << 20, 'x');

struct ReadCase {
    const char* name;
    std::string text;
    bool recovering;
    std::string error;  // what the error says (empty: none)
    std::vector<RepairCode> repairs;
    std::string firstText;  // group 1 of the first entity, when read
};

std::vector<ReadCase> Cases() {
    return {
        {"valid", kHead + Texts({"Ä", kLong}) + kTail, false, "", {}, "Ä"},
        {"bad byte repaired",
         kHead + Texts({"a\xFF", kLong}) + kTail,
         true,
         "",
         {RepairCode::kInvalidUtf8},
         "a\xEF\xBF\xBD"},
        {"bad byte far behind",
         kHead + Texts({"a", kLong, "\xFE"}) + kTail,
         true,
         "",
         {RepairCode::kInvalidUtf8},
         "a"},
        {"repairs of the text before those of the parse",
         kHead + Texts({"b", kLong, "\xC3"}) + "  0\nENDSEC\n",
         true,
         "",
         {RepairCode::kInvalidUtf8, RepairCode::kMissingEof},
         "b"},
        {"parse repairs alone",
         kHead + Texts({"b", kLong}) + "  0\nENDSEC\n",
         true,
         "",
         {RepairCode::kMissingEof},
         "b"},
        {"error naming the repaired text",
         kHeader + "  1\n\xFF\n" + kHead + Texts({kLong}) + kTail,
         true,
         "found group 1 \"\xEF\xBF\xBD\"",
         {RepairCode::kInvalidUtf8},
         ""},
        {"error of a valid file",
         kHeader + "  1\nz\n" + kHead + Texts({kLong}) + kTail,
         true,
         "found group 1 \"z\"",
         {},
         ""},
        {"error before a bad byte far ahead",
         kHeader + "  1\nz\n" + kHead + Texts({kLong, "\xFF"}) + kTail,
         false,
         "found group 1 \"z\"",
         {},
         ""},
        {"strict reading of a truncated file",
         kHead + Texts({kLong, "\xFF"}),
         false,
         "the file ends inside",
         {},
         ""},
    };
}

// What reading made: the error, or the repairs and the first entity's text.
struct Outcome {
    std::string error;
    std::vector<RepairCode> repairs;
    std::string firstText;
};

template <class Read>
Outcome ReadCaseWith(const ReadCase& c, Read read) {
    Outcome o;
    std::vector<Repair> repairs;
    try {
        Document doc = read(c.recovering ? &repairs : nullptr);
        if (!doc.entities.empty())
            o.firstText = doc.entities.front().value(1);
    } catch (const DxfError& e) {
        o.error = e.what();
    }
    for (const auto& r : repairs)
        o.repairs.push_back(r.code);
    return o;
}

void Expect(const ReadCase& c, const Outcome& o) {
    if (c.error.empty()) {
        EXPECT_EQ(o.error, "");
    } else {
        EXPECT_NE(o.error.find(c.error), std::string::npos) << o.error;
    }
    if (c.error.empty() || c.recovering) {
        EXPECT_EQ(o.repairs, c.repairs);
    }
    EXPECT_EQ(o.firstText, c.firstText);
}

TEST(DxfDocumentReading, FilesAndBytesAreCheckedAsTheyAreParsed) {
    const std::string dir = dxftest::TempDir();
    for (const ReadCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "/case.dxf";
        dxftest::WriteFile(path, c.text);
        Expect(c,
               ReadCaseWith(c, [&](std::vector<Repair>* r) { return ReadDocumentFile(path, r); }));
        Expect(c, ReadCaseWith(
                      c, [&](std::vector<Repair>* r) { return ReadDocumentBytes(c.text, r); }));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
