// Collection classes of the application framework (the subset the module uses).
#pragma once

#include <map>
#include <vector>

#include "platform/CString.h"

// A map from text to text. Keys are exact (letter case matters) and are visited in sorted
// order.
template <class C>
class CMapStringToStringT {
public:
    explicit CMapStringToStringT(int blockSize = 10) { (void)blockSize; }
    void SetAt(const C* key, const C* value) { m_map[CStringT<C>(key)] = CStringT<C>(value); }
    BOOL Lookup(const C* key, CStringT<C>& value) const {
        const auto it = m_map.find(CStringT<C>(key));
        if (it == m_map.end())
            return FALSE;
        value = it->second;
        return TRUE;
    }
    BOOL RemoveKey(const C* key) { return m_map.erase(CStringT<C>(key)) ? TRUE : FALSE; }
    void RemoveAll() { m_map.clear(); }
    int GetCount() const { return static_cast<int>(m_map.size()); }
    BOOL IsEmpty() const { return m_map.empty(); }
    auto begin() const { return m_map.begin(); }
    auto end() const { return m_map.end(); }

private:
    std::map<CStringT<C>, CStringT<C>> m_map;
};

#if defined(QUARVEL_MODULE)
typedef CMapStringToStringT<TCHAR> CMapStringToString;
#endif
