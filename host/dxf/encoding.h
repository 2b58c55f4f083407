// The text encoding of DXF files. Files of AC1021 and later are UTF-8 already; older files
// are in the code page named by $DWGCODEPAGE and may carry \U+XXXX escapes for characters
// outside it. Reading turns either into UTF-8 text before the tags are read (a UTF-8 file is
// checked while it is read, see Utf8Check).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dxf/repair.h"
#include "host/dxf/tags.h"

namespace host::dxf {

// The drawing's text as UTF-8 plus what was found about its encoding.
struct DecodedText {
    bool converted = false;  // false: the bytes are valid UTF-8 text already, text is empty
    // The bytes are to be UTF-8 but were not checked (see DecodeDxfText's checkUtf8).
    bool unchecked = false;
    std::string text;
    std::string version;          // $ACADVER, e.g. "AC1024" (empty when the header has none)
    std::string codepage;         // $DWGCODEPAGE as found
    std::vector<Repair> repairs;  // e.g. invalid UTF-8 replaced
};
// Where a pass over a file's bytes has got to, told every few megabytes (see
// ReadingWindow in document.cpp).
using ReachedFn = std::function<void(const char* reached)>;
// Converts a file's bytes into UTF-8 text. Throws DxfError for binary DXF and for a code page
// the system cannot convert. reached, when given, follows the check of UTF-8 files. Without
// checkUtf8, UTF-8 files are left unchecked (unchecked is set): the caller checks them with
// Utf8Check as it reads them and decodes them again with the check when any are bad.
DecodedText DecodeDxfText(std::string_view bytes, const ReachedFn& reached = nullptr,
                          bool checkUtf8 = true);
// Counts the invalid UTF-8 sequences of a text a piece at a time, as a pass over it goes. A
// sequence that goes on beyond the end of a piece is checked whole.
class Utf8Check {
public:
    explicit Utf8Check(std::string_view text) : m_text(text) {}
    // Checks the text up to end (or a few bytes beyond it, to finish a sequence).
    void CheckTo(std::size_t end);
    std::size_t checked() const { return m_checked; }
    std::size_t bad() const { return m_bad; }

private:
    std::string_view m_text;
    std::size_t m_checked = 0;
    std::size_t m_bad = 0;
};
// Replaces \U+XXXX escapes by the characters they stand for.
std::string DecodeUnicodeEscapes(std::string_view text);
// Turns UTF-8 text into the form of files before R2007: ASCII, with every other character as
// \U+XXXX (one beyond U+FFFF as the two escapes of its UTF-16 surrogates) and a backslash
// that starts "\U+" as \U+005C, which DecodeUnicodeEscapes turns back. ASCII is part of
// every code page, and readers that ignore $DWGCODEPAGE (some take any byte above 127 as
// DOS 437) still read the same text.
class UnicodeEscaper {
public:
    // Appends the escaped text to out. A UTF-8 sequence cut at the end of text is completed
    // by the next call.
    void Escape(std::string_view text, std::string& out);
    // After the last piece: what was held back from its end (a cut UTF-8 sequence becomes
    // \U+FFFD).
    void Finish(std::string& out);

private:
    std::string m_carry;
};

// The iconv name of a $DWGCODEPAGE value ("ANSI_1252" -> "CP1252"); empty when unknown.
std::string IconvNameOfCodepage(std::string_view codepage);

}  // namespace host::dxf
