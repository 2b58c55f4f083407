// Packed cell texts of tables.
#include "host/db/cell_store.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {
constexpr std::size_t kMaxBlocks = std::size_t(1) << 16;  // 4 GB of 64 KB blocks
}

CellStore::CellStore(const CellStore& other) {
    *this = other;
}

CellStore& CellStore::operator=(const CellStore& other) {
    if (this == &other)
        return *this;
    if (other.m_dead > other.m_live / 4) {
        CopyLive(other);
        return *this;
    }
    // Little is dead: the blocks are copied as they stand, a few large copies rather than
    // one per cell.
    m_cells = other.m_cells;
    m_blocks.clear();
    m_blocks.reserve(other.m_blocks.size());
    for (const auto& block : other.m_blocks) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        std::memcpy(m_blocks.back().get(), block.get(), kBlockSize);
    }
    m_used = other.m_used;
    m_large = other.m_large;
    m_live = other.m_live;
    m_dead = other.m_dead;
    return *this;
}

void CellStore::CopyLive(const CellStore& other) {
    m_cells.assign(other.m_cells.size(), Ref{});
    m_blocks.clear();
    m_used = kBlockSize;
    m_large.clear();
    m_live = m_dead = 0;
    for (std::size_t i = 0; i < other.m_cells.size(); ++i)
        Set(i, other.Get(i));
}

std::string_view CellStore::Get(std::size_t i) const {
    const Ref& r = m_cells[i];
    if (r.length & kLarge)
        return m_large[r.offset];
    if (r.length == 0)
        return {};
    return std::string_view(m_blocks[r.offset >> kBlockBits].get() + (r.offset & (kBlockSize - 1)),
                            r.length);
}

void CellStore::Forget(Ref& r) {
    if (r.length & kLarge) {
        std::string().swap(m_large[r.offset]);  // its slot stays until the next rebuild
    } else {
        m_live -= r.length;
        m_dead += r.length;
    }
    r = Ref{};
}

bool CellStore::Place(Ref& r, std::string_view text) {
    if (text.size() > kBlockSize) {
        if (m_large.size() >= kLarge)
            return false;
        r.offset = static_cast<std::uint32_t>(m_large.size());
        r.length = kLarge;
        m_large.emplace_back(text);
        return true;
    }
    if (kBlockSize - m_used < text.size()) {
        if (m_blocks.size() >= kMaxBlocks)
            return false;
        m_dead += kBlockSize - m_used;  // the rest of the last block is never used
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        m_used = 0;
    }
    r.offset = static_cast<std::uint32_t>(((m_blocks.size() - 1) << kBlockBits) | m_used);
    r.length = static_cast<std::uint32_t>(text.size());
    std::memcpy(m_blocks.back().get() + m_used, text.data(), text.size());
    m_used += static_cast<std::uint32_t>(text.size());
    m_live += text.size();
    return true;
}

bool CellStore::Set(std::size_t i, std::string_view text) {
    Ref& r = m_cells[i];
    if (!(r.length & kLarge) && text.size() <= r.length && !text.empty()) {
        // Written over the old text.
        char* at = m_blocks[r.offset >> kBlockBits].get() + (r.offset & (kBlockSize - 1));
        std::memmove(at, text.data(), text.size());
        m_live -= r.length - text.size();
        m_dead += r.length - text.size();
        r.length = static_cast<std::uint32_t>(text.size());
        return true;
    }
    // The text may lie in this store (a copy of another cell); place it before forgetting.
    Ref placed;
    if (!text.empty() && !Place(placed, text)) {
        Compact();
        if (!Place(placed, text))
            return false;
    }
    Forget(m_cells[i]);
    m_cells[i] = placed;
    if (m_dead > kBlockSize && m_dead > m_live)
        Compact();
    return true;
}

void CellStore::Assign(std::size_t n) {
    m_cells.assign(n, Ref{});
    m_blocks.clear();
    m_used = kBlockSize;
    m_large.clear();
    m_live = m_dead = 0;
}

bool CellStore::PushBack(std::string_view text) {
    m_cells.emplace_back();
    if (Set(m_cells.size() - 1, text))
        return true;
    m_cells.pop_back();
    return false;
}

void CellStore::Insert(std::size_t i, std::size_t n) {
    m_cells.insert(m_cells.begin() + i, n, Ref{});
}

void CellStore::Erase(std::size_t i, std::size_t n) {
    for (std::size_t k = i; k < i + n; ++k)
        Forget(m_cells[k]);
    m_cells.erase(m_cells.begin() + i, m_cells.begin() + i + n);
}

void CellStore::InsertColumns(std::size_t rows, std::size_t columns, std::size_t at,
                              std::size_t count) {
    const std::size_t newColumns = columns + count;
    std::vector<Ref> cells(rows * newColumns);
    for (std::size_t r = 0; r < rows; ++r) {
        const Ref* src = m_cells.data() + r * columns;
        Ref* dst = cells.data() + r * newColumns;
        std::copy(src, src + at, dst);
        std::copy(src + at, src + columns, dst + at + count);
    }
    m_cells = std::move(cells);
}

void CellStore::EraseColumns(std::size_t rows, std::size_t columns, std::size_t at,
                             std::size_t count) {
    const std::size_t newColumns = columns - count;
    std::vector<Ref> cells(rows * newColumns);
    for (std::size_t r = 0; r < rows; ++r) {
        Ref* src = m_cells.data() + r * columns;
        Ref* dst = cells.data() + r * newColumns;
        for (std::size_t c = at; c < at + count; ++c)
            Forget(src[c]);
        std::copy(src, src + at, dst);
        std::copy(src + at + count, src + columns, dst + at);
    }
    m_cells = std::move(cells);
}

void CellStore::Compact() {
    CellStore fresh;
    fresh.CopyLive(*this);
    *this = std::move(fresh);
}

}  // namespace host
