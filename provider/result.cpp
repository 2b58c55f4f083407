#include "provider/result.h"

namespace provider {
namespace {

// The storage of one result set that went, kept for the next query of the thread. Storage of
// more than this many bytes goes back to the system.
constexpr std::size_t kMostKeptBytes = std::size_t{64} << 20;

// Set once the thread's spare storage is destroyed (the thread ends), so that result sets
// that outlive it do not touch it.
thread_local bool t_spareGone = false;

struct SpareStorage {
    std::vector<Cell> cells;
    std::u16string text;
    ~SpareStorage() { t_spareGone = true; }
};

thread_local SpareStorage t_spare;

}  // namespace

ResultSet::~ResultSet() {
    if (t_spareGone)
        return;
    const std::size_t bytes =
        m_cells.capacity() * sizeof(Cell) + m_text.capacity() * sizeof(char16_t);
    if (bytes > kMostKeptBytes || bytes <= t_spare.cells.capacity() * sizeof(Cell) +
                                               t_spare.text.capacity() * sizeof(char16_t)) {
        return;  // too large to keep, or no larger than what is kept already
    }
    m_cells.clear();
    m_text.clear();
    t_spare.cells.swap(m_cells);
    t_spare.text.swap(m_text);
}

void ResultSet::ReuseStorage() {
    if (t_spareGone || !m_cells.empty() || !m_text.empty())
        return;
    m_cells.swap(t_spare.cells);
    m_text.swap(t_spare.text);
    t_spare.cells.clear();
    t_spare.text.clear();
}

}  // namespace provider
