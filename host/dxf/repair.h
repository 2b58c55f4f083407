// Repairs of damaged drawing files. Reading is strict unless a list of repairs is given: then
// damage that leaves the drawing usable is repaired, and each repair is recorded with what
// kind it is, where it was found and what was done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host::dxf {

// The kinds of repair reading can make.
enum class RepairCode {
    kInvalidUtf8,              // invalid UTF-8 sequences replaced by U+FFFD
    kUnknownCodePage,          // a code page the reader does not know, read as ANSI_1252
    kMissingEof,               // the file ends without 0/EOF: the end marker was added
    kBadExtendedData,          // one application's extended data is malformed: removed
    kMissingTableSizes,        // a table's row heights or column widths were filled in
    kUnknownVersion,           // a drawing version out of range, read as the nearest known
    kMissingSection,           // a section of the file is missing: an empty one was made
    kInvalidHandle,            // a handle that does not parse: a new one was given
    kDuplicateHandle,          // a handle of another object: a new one was given
    kInvalidApplication,       // an APPID record with an invalid name: left out
    kBlockNameCut,             // a block name with a NUL character, cut there
    kDuplicateBlock,           // a block defined twice: the second definition was left out
    kBlockWithoutDefinition,   // a block record without its block: an empty block was made
    kMissingBlock,             // a block reference to a missing block: left out
    kEntityOwnerNotBlock,      // an entity owned by something that is not a block: model space
    kInvalidDictionaryEntry,   // a dictionary entry naming what cannot be an entry: removed
    kDanglingDictionaryEntry,  // a dictionary entry naming a missing object: removed
    kDanglingOwner,            // an object whose owner is missing (or a symbol table)
    kMissingTableStyle,        // a table's style is missing: it uses the current style
    kUnregisteredApplication,  // extended data of an unregistered application: registered
    kInvalidApplicationData,   // extended data of an application with an invalid name: removed
};

// One repair made to a drawing while reading it.
struct Repair {
    RepairCode code;
    std::size_t line = 0;      // the line of the file it was found on (0: none)
    std::uint64_t handle = 0;  // the object concerned (0: none)
    std::string text;          // what was wrong and what was done

    // The repair as reported: "line 12: " (when there is a line) and the text.
    std::string Message() const;
};

// Where reading reports damage. Without a list of repairs (strict reading) damage is refused
// with a DxfError; with one, each repair is added to it and reading goes on.
class RepairLog {
public:
    explicit RepairLog(std::vector<Repair>* repairs = nullptr) : m_repairs(repairs) {}
    bool Recovering() const { return m_repairs != nullptr; }
    // Damage found: strict reading throws DxfError(line, what); recovery records the repair
    // "what; fix".
    void Report(RepairCode code, std::size_t line, std::uint64_t handle, const std::string& what,
                const std::string& fix);
    // Records a repair (recovery only: strict reading refuses the damage itself).
    void Add(Repair repair);

private:
    std::vector<Repair>* m_repairs;
};

}  // namespace host::dxf
