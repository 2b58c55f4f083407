// The text encoding of DXF files. Files of AC1021 and later are UTF-8 already; older files
// are in the code page named by $DWGCODEPAGE and may carry \U+XXXX escapes for characters
// outside it. Reading turns either into UTF-8 text before the tags are read.
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
    std::string text;
    std::string version;          // $ACADVER, e.g. "AC1024" (empty when the header has none)
    std::string codepage;         // $DWGCODEPAGE as found
    std::vector<Repair> repairs;  // e.g. invalid UTF-8 replaced
};
// Where a pass over a file's bytes has got to, told every few megabytes (see
// ReadingWindow in document.cpp).
using ReachedFn = std::function<void(const char* reached)>;
// Converts a file's bytes into UTF-8 text. Throws DxfError for binary DXF and for a code page
// the system cannot convert. reached, when given, follows the check of UTF-8 files.
DecodedText DecodeDxfText(std::string_view bytes, const ReachedFn& reached = nullptr);
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
