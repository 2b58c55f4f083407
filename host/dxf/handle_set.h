// A set of handles for the checks of loading and saving that a handle is not taken twice.
// Handles of a drawing are mostly small and dense (a large table's block has millions of them
// in a row), so those below a bound are kept as one bit each; larger ones, which only odd
// files have, go to a hash set.
#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace host::dxf {

class HandleSet {
public:
    // Adds h; false when it was there already.
    bool insert(std::uint64_t h) {
        if (h >= kDenseBound)
            return m_sparse.insert(h).second;
        const std::size_t word = static_cast<std::size_t>(h >> 6);
        if (word >= m_bits.size())
            m_bits.resize(std::max(word + 1, m_bits.size() * 2), 0);
        const std::uint64_t bit = std::uint64_t(1) << (h & 63);
        if (m_bits[word] & bit)
            return false;
        m_bits[word] |= bit;
        return true;
    }
    bool contains(std::uint64_t h) const {
        if (h >= kDenseBound)
            return m_sparse.count(h) != 0;
        const std::size_t word = static_cast<std::size_t>(h >> 6);
        return word < m_bits.size() && (m_bits[word] >> (h & 63) & 1);
    }

private:
    // Bits for handles below 2^27: at most 16 MB, for a drawing of that many objects.
    static constexpr std::uint64_t kDenseBound = std::uint64_t(1) << 27;
    std::vector<std::uint64_t> m_bits;
    std::unordered_set<std::uint64_t> m_sparse;
};

}  // namespace host::dxf
