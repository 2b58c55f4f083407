// DXF tag level: group-code/value pairs of text DXF files.
//
// Reading works on a whole file held in memory, turned into UTF-8 text first (see
// encoding.h). The tag reader walks the text with any line ending and hands out views into it.
// Writing produces UTF-8 text with "\n" line ends, group codes right-aligned in three places.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host::dxf {

// A problem in a DXF file, with the line it was found on (1-based; 0 when unknown).
class DxfError : public std::runtime_error {
public:
    DxfError(std::size_t line, const std::string& problem);
    std::size_t line() const { return line_; }
    const std::string& problem() const { return problem_; }

private:
    std::size_t line_;
    std::string problem_;
};

// What kind of value a group code carries.
enum class ValueKind {
    kString,
    kInt16,
    kInt32,
    kInt64,
    kDouble,
    kHandle,
    kBool,
    kBinary,
    kInvalid
};
ValueKind KindOfCode(int code);

// One group-code/value pair; the value points into the reader's text.
struct TagView {
    int code = 0;
    std::string_view value;
    std::size_t line = 0;  // line of the group code
};

// An owned tag, as kept for things the host does not model.
struct Tag {
    int code = 0;
    std::string value;
    bool operator==(const Tag&) const = default;
};
using Tags = std::vector<Tag>;
inline Tag OwnTag(const TagView& t) {
    return Tag{t.code, std::string(t.value)};
}

// Values: parsing (spaces around numbers are allowed) and checking.
bool ParseInt(std::string_view text, std::int64_t& value);
bool ParseDouble(std::string_view text, double& value);
bool ParseHandle(std::string_view text, std::uint64_t& value);  // hexadecimal, 1..16 digits
// Whether text is a valid value for the code; when not, why.
bool CheckValue(int code, std::string_view text, std::string& why);
std::string FormatDouble(double value);  // shortest text that reads back the same
std::string FormatHandle(std::uint64_t value);
// Text without leading and trailing spaces and tabs.
std::string_view TrimSpaces(std::string_view text);

// Walks the tags of UTF-8 DXF text. Line ends may be "\n", "\r\n" or "\r".
class TagReader {
public:
    explicit TagReader(std::string_view text);
    // The next tag; false at the end of the text. Throws DxfError for a group code that is not
    // a number or is out of range, a missing value line, or a value that does not parse.
    bool Next(TagView& tag);
    // The next tag is read again by the next call of Next.
    void PushBack(const TagView& tag);
    std::size_t line() const { return line_; }  // lines consumed so far
    std::size_t offset() const { return pos_; }
    std::size_t size() const { return text_.size(); }
    // Whether values are checked against their group codes (on by default; the content of
    // records that will be regenerated need not be).
    void CheckValues(bool on) { checkValues_ = on; }
    // Continues reading at an earlier position (from offset()/line() of that time).
    void Seek(std::size_t offset, std::size_t line);

private:
    bool ReadLine(std::string_view& line);
    // The two ways of reading a tag. QuickTag returns the value's size + 1 (0: not read).
    std::size_t QuickTag(std::int64_t& code, const char*& value);
    bool CarefulTag(std::int64_t& code, std::string_view& value, std::size_t& codeLineNo,
                    ValueKind& kind);
    std::string_view text_;
    const ValueKind* kinds_;  // by group code + 5, for -5 .. 1071
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    bool pushed_ = false;
    bool crOnly_ = false;
    bool checkValues_ = true;
    TagView pushedTag_;
};

// Writes tags as text; output goes to a sink in large chunks.
class TagWriter {
public:
    using Sink = std::function<void(std::string_view)>;
    explicit TagWriter(Sink sink);
    ~TagWriter();
    TagWriter(const TagWriter&) = delete;
    TagWriter& operator=(const TagWriter&) = delete;

    // A string value; line breaks and other control characters are written as ^J style
    // caret escapes, since a value must stay on one line.
    void Str(int code, std::string_view value);
    void Int(int code, std::int64_t value);
    void Real(int code, double value);
    void Handle(int code, std::uint64_t value);
    void Point(int code, double x, double y, double z);
    // A value written exactly as given (it came from a file and is known to be one line).
    void Raw(int code, std::string_view value) {
        if (code >= -5 && code <= 1071 && codes_[code + 5].real)
            CheckReal(code, value);
        Formatted(code, value);
    }
    // A value this program formatted itself (a number from FormatDouble, a fixed text): one
    // line that reads back, written without a check.
    void Formatted(int code, std::string_view value) {
        if (code >= -5 && code <= 1071 && value.size() <= 4096) {
            const CodeText& t = codes_[code + 5];
            char* p = Room(t.size + value.size() + 1);
            std::memcpy(p, t.text, sizeof t.text);  // the buffer has slack for the whole copy
            if (!value.empty())                     // an empty view may have no data at all
                std::memcpy(p + t.size, value.data(), value.size());
            p[t.size + value.size()] = '\n';
            used_ += t.size + value.size() + 1;
        } else {
            RawLong(code, value);
        }
    }
    // A kept tag: as it stands, unless it holds a line break (then escaped as by Str).
    void Write(const Tag& tag) {
        bool oneLine = true;
        for (char c : tag.value)
            oneLine = oneLine && c != '\r' && c != '\n';
        if (oneLine) {
            Raw(tag.code, tag.value);
        } else {
            Str(tag.code, tag.value);
        }
    }
    void Flush();

    // Thrown for a number the reader would refuse (infinite, not a number): the file is not
    // written rather than written unreadable.
    class Unwritable : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // "%3d\n" of a group code, and whether its values are numbers with a fraction.
    struct CodeText {
        char text[8];
        std::size_t size;
        bool real;
    };

private:
    static constexpr std::size_t kBufferSize = 1 << 20;
    void Code(int code);
    void RawLong(int code, std::string_view value);
    static void CheckReal(int code, std::string_view value);
    // Room for n more bytes (flushing first when needed).
    char* Room(std::size_t n) {
        if (used_ + n > kBufferSize)
            Flush();
        return buf_.get() + used_;
    }
    const CodeText* codes_;
    void Put(const char* data, std::size_t n);
    Sink sink_;
    std::unique_ptr<char[]> buf_;
    std::size_t used_ = 0;
};

}  // namespace host::dxf
