// The texts of a table's cells, row-major and packed: one 8-byte reference per cell into text
// blocks of 64 KB (a text never straddles two blocks; texts longer than a block are kept on
// their own). Texts that fit where the old one was are written over in place; others go to
// the end of the last block, and the blocks are rebuilt once more than half of their bytes are
// dead. Setting a text is amortised constant time, nothing large is ever reallocated, and the
// memory stays close to the live text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class CellStore {
public:
    CellStore() = default;
    CellStore(const CellStore& other);
    CellStore& operator=(const CellStore& other);
    CellStore(CellStore&&) noexcept = default;
    CellStore& operator=(CellStore&&) noexcept = default;

    std::size_t size() const { return m_cells.size(); }
    std::string_view Get(std::size_t i) const;
    // False when the store cannot hold the text (more than 4 GB of text).
    bool Set(std::size_t i, std::string_view text);

    void Assign(std::size_t n);  // n empty cells
    void Reserve(std::size_t n) { m_cells.reserve(n); }
    // A cell at the end with the text; false as for Set (then no cell was added).
    bool PushBack(std::string_view text);
    void Insert(std::size_t i, std::size_t n);  // n empty cells at i
    void Erase(std::size_t i, std::size_t n);
    // count empty columns at column `at` (or count columns removed there) of a rows x columns
    // layout.
    void InsertColumns(std::size_t rows, std::size_t columns, std::size_t at, std::size_t count);
    void EraseColumns(std::size_t rows, std::size_t columns, std::size_t at, std::size_t count);

private:
    static constexpr std::uint32_t kBlockBits = 16;
    static constexpr std::uint32_t kBlockSize = 1u << kBlockBits;
    static constexpr std::uint32_t kLarge = 0x80000000u;  // length flag: offset is a large index

    struct Ref {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;  // with kLarge: a text of m_large
    };
    std::size_t Length(const Ref& r) const {
        return (r.length & kLarge) ? m_large[r.offset].size() : r.length;
    }
    // This store becomes a copy of other's live texts, packed.
    void CopyLive(const CellStore& other);
    void Forget(Ref& r);
    bool Place(Ref& r, std::string_view text);
    void Compact();

    std::vector<Ref> m_cells;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::uint32_t m_used = kBlockSize;  // bytes used in the last block (full: none yet)
    std::vector<std::string> m_large;
    std::size_t m_live = 0;  // bytes of block text cells refer to
    std::size_t m_dead = 0;  // bytes of block text no cell refers to
};

}  // namespace host
