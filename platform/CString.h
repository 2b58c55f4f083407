// The framework's string class and string array, for both text widths.
//
// CStringT<char> holds UTF-8 (the system code page of the single-byte build) and
// CStringT<char16_t> holds UTF-16. Lengths and positions are in code units of the width.
// Inside a module build CString and CStringArray are the build's width.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/printf.h"
#include "platform/textconv.h"
#include "platform/windef.h"

template <class C>
class CStringT {
public:
    typedef C XCHAR;
    typedef const C* PCXSTR;
    typedef std::basic_string<C> StringType;

    CStringT() = default;
    CStringT(const C* s) : m_str(s ? s : EmptyLiteral()) {}
    CStringT(const C* s, int n) : m_str(s ? StringType(s, n > 0 ? n : 0) : StringType()) {}
    CStringT(C ch, int repeat = 1) : m_str(repeat > 0 ? repeat : 0, ch) {}
    CStringT(const StringType& s) : m_str(s) {}
    CStringT(StringType&& s) : m_str(std::move(s)) {}
    CStringT(std::basic_string_view<C> s) : m_str(s) {}
    // Conversion from the other width (the framework converts between code pages).
    template <class D,
              class = std::enable_if_t<!std::is_same_v<C, D> &&
                                       (std::is_same_v<D, char> || std::is_same_v<D, char16_t>)>>
    explicit CStringT(const D* s)
        : m_str(s ? Convert(std::basic_string_view<D>(s)) : StringType()) {}
    template <class D, class = std::enable_if_t<!std::is_same_v<C, D>>>
    explicit CStringT(const CStringT<D>& s) : m_str(Convert(s.View())) {}

    // Access.
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const C* GetString() const { return m_str.c_str(); }
    operator const C*() const { return m_str.c_str(); }
    std::basic_string_view<C> View() const { return m_str; }
    const StringType& Str() const { return m_str; }
    StringType& Str() { return m_str; }
    C GetAt(int i) const { return (i >= 0 && i < GetLength()) ? m_str[i] : C(0); }
    void SetAt(int i, C ch) {
        if (i >= 0 && i < GetLength())
            m_str[i] = ch;
    }
    C operator[](int i) const { return GetAt(i); }

    // A writable buffer of at least n characters (plus the terminator). ReleaseBuffer cuts the
    // string at its first terminator, or at n when n is not -1.
    C* GetBuffer(int n = 0) {
        if (n > GetLength())
            m_str.resize(n);
        return m_str.data();
    }
    C* GetBufferSetLength(int n) {
        m_str.resize(n > 0 ? n : 0);
        return m_str.data();
    }
    void ReleaseBuffer(int n = -1) {
        if (n < 0) {
            m_str.resize(std::char_traits<C>::length(m_str.c_str()));
        } else {
            m_str.resize(std::min<std::size_t>(n, m_str.size()));
        }
    }

    // Assignment and concatenation.
    CStringT& operator=(const C* s) {
        m_str = s ? s : EmptyLiteral();
        return *this;
    }
    CStringT& operator=(C ch) {
        m_str.assign(1, ch);
        return *this;
    }
    CStringT& operator+=(const CStringT& s) {
        m_str += s.m_str;
        return *this;
    }
    CStringT& operator+=(const C* s) {
        if (s)
            m_str += s;
        return *this;
    }
    CStringT& operator+=(C ch) {
        m_str += ch;
        return *this;
    }
    friend CStringT operator+(const CStringT& a, const CStringT& b) {
        return CStringT(a.m_str + b.m_str);
    }
    friend CStringT operator+(const CStringT& a, const C* b) {
        return CStringT(a.m_str + (b ? b : EmptyLiteral()));
    }
    friend CStringT operator+(const C* a, const CStringT& b) {
        return CStringT(StringType(a ? a : EmptyLiteral()) + b.m_str);
    }
    friend CStringT operator+(const CStringT& a, C b) { return CStringT(a.m_str + b); }
    friend CStringT operator+(C a, const CStringT& b) {
        return CStringT(StringType(1, a) + b.m_str);
    }

    // Comparison.
    int Compare(const C* s) const { return m_str.compare(s ? s : EmptyLiteral()); }
    int CompareNoCase(const C* s) const {
        return qv::CompareNoCase<C>(m_str,
                                    s ? std::basic_string_view<C>(s) : std::basic_string_view<C>());
    }
    friend bool operator==(const CStringT& a, const CStringT& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CStringT& a, const C* b) { return a.Compare(b) == 0; }
    friend bool operator==(const C* a, const CStringT& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CStringT& a, const CStringT& b) { return a.m_str != b.m_str; }
    friend bool operator!=(const CStringT& a, const C* b) { return a.Compare(b) != 0; }
    friend bool operator!=(const C* a, const CStringT& b) { return b.Compare(a) != 0; }
    friend bool operator<(const CStringT& a, const CStringT& b) { return a.m_str < b.m_str; }

    // Formatting.
    template <class... Args>
    void Format(const C* fmt, const Args&... args) {
        m_str = qv::FormatText(fmt, args...);
    }
    template <class... Args>
    void AppendFormat(const C* fmt, const Args&... args) {
        m_str += qv::FormatText(fmt, args...);
    }

    // Case.
    CStringT& MakeLower() {
        m_str = qv::ToLower<C>(m_str);
        return *this;
    }
    CStringT& MakeUpper() {
        m_str = qv::ToUpper<C>(m_str);
        return *this;
    }
    CStringT& MakeReverse() {
        std::reverse(m_str.begin(), m_str.end());
        return *this;
    }

    // Trimming: white space by default, or any of the given characters.
    CStringT& TrimLeft() { return TrimLeftOf(Blanks()); }
    CStringT& TrimRight() { return TrimRightOf(Blanks()); }
    CStringT& Trim() { return TrimLeft().TrimRight(); }
    CStringT& TrimLeft(C ch) { return TrimLeftOf(StringType(1, ch)); }
    CStringT& TrimRight(C ch) { return TrimRightOf(StringType(1, ch)); }
    CStringT& Trim(C ch) { return TrimLeft(ch).TrimRight(ch); }
    CStringT& TrimLeft(const C* set) { return TrimLeftOf(set ? set : EmptyLiteral()); }
    CStringT& TrimRight(const C* set) { return TrimRightOf(set ? set : EmptyLiteral()); }
    CStringT& Trim(const C* set) { return TrimLeft(set).TrimRight(set); }

    // Searching: positions from 0, -1 when not found.
    int Find(C ch, int start = 0) const { return Pos(m_str.find(ch, Start(start))); }
    int Find(const C* s, int start = 0) const {
        if (!s)
            return -1;
        if (start > GetLength())
            return -1;
        return Pos(m_str.find(s, Start(start)));
    }
    int ReverseFind(C ch) const { return Pos(m_str.rfind(ch)); }
    int FindOneOf(const C* set) const { return set ? Pos(m_str.find_first_of(set)) : -1; }

    // Extraction.
    CStringT Left(int n) const { return CStringT(m_str.substr(0, Clamp(n))); }
    CStringT Right(int n) const {
        const int k = Clamp(n);
        return CStringT(m_str.substr(m_str.size() - k));
    }
    CStringT Mid(int first) const {
        return first >= GetLength() ? CStringT() : CStringT(m_str.substr(Start(first)));
    }
    CStringT Mid(int first, int n) const {
        if (first < 0)
            first = 0;
        if (first >= GetLength() || n <= 0)
            return CStringT();
        return CStringT(m_str.substr(first, n));
    }
    CStringT SpanIncluding(const C* set) const {
        return Left(static_cast<int>(
            std::min(m_str.find_first_not_of(set ? set : EmptyLiteral()), m_str.size())));
    }
    CStringT SpanExcluding(const C* set) const {
        return Left(static_cast<int>(
            std::min(m_str.find_first_of(set ? set : EmptyLiteral()), m_str.size())));
    }
    // Next token after position start, skipping leading delimiters; start becomes -1 at the end.
    CStringT Tokenize(const C* delims, int& start) const {
        if (start < 0 || !delims) {
            start = -1;
            return CStringT();
        }
        std::size_t b = m_str.find_first_not_of(delims, start);
        if (b == StringType::npos) {
            start = -1;
            return CStringT();
        }
        std::size_t e = m_str.find_first_of(delims, b);
        if (e == StringType::npos)
            e = m_str.size();
        start = static_cast<int>(e < m_str.size() ? e + 1 : e);
        return CStringT(m_str.substr(b, e - b));
    }

    // Editing: results are the number of replacements, removals or the new length.
    int Replace(C from, C to) {
        int n = 0;
        for (auto& ch : m_str) {
            if (ch == from)
                ch = to, ++n;
        }
        return n;
    }
    int Replace(const C* from, const C* to) {
        if (!from || !*from)
            return 0;
        const StringType f(from), t(to ? to : EmptyLiteral());
        int n = 0;
        for (std::size_t pos = m_str.find(f); pos != StringType::npos;
             pos = m_str.find(f, pos + t.size())) {
            m_str.replace(pos, f.size(), t);
            ++n;
        }
        return n;
    }
    int Remove(C ch) {
        const auto before = m_str.size();
        m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
        return static_cast<int>(before - m_str.size());
    }
    int Insert(int at, C ch) {
        m_str.insert(Start(at), 1, ch);
        return GetLength();
    }
    int Insert(int at, const C* s) {
        if (s)
            m_str.insert(Start(at), s);
        return GetLength();
    }
    int Delete(int at, int n = 1) {
        if (at >= 0 && at < GetLength() && n > 0)
            m_str.erase(at, n);
        return GetLength();
    }

private:
    static const C* EmptyLiteral() {
        static const C empty[1] = {C(0)};
        return empty;
    }
    static const C* Blanks() {
        static const C blanks[] = {C(' '), C('\t'), C('\n'), C('\r'), C('\v'), C('\f'), C(0)};
        return blanks;
    }
    template <class D>
    static StringType Convert(std::basic_string_view<D> s) {
        return qv::ConvertText<C>(s);
    }
    std::size_t Start(int i) const { return i < 0 ? 0 : std::min<std::size_t>(i, m_str.size()); }
    int Clamp(int n) const { return n < 0 ? 0 : std::min(n, GetLength()); }
    static int Pos(std::size_t p) { return p == StringType::npos ? -1 : static_cast<int>(p); }
    CStringT& TrimLeftOf(const StringType& set) {
        m_str.erase(0, std::min(m_str.find_first_not_of(set), m_str.size()));
        return *this;
    }
    CStringT& TrimRightOf(const StringType& set) {
        const auto last = m_str.find_last_not_of(set);
        m_str.erase(last == StringType::npos ? 0 : last + 1);
        return *this;
    }

    StringType m_str;
};

typedef CStringT<char> CStringA;
typedef CStringT<char16_t> CStringW;

// The framework's growable string array.
template <class C>
class CStringArrayT {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }
    void SetSize(int n) { m_items.resize(n > 0 ? n : 0); }
    int Add(const CStringT<C>& s) {
        m_items.push_back(s);
        return GetSize() - 1;
    }
    const CStringT<C>& GetAt(int i) const { return m_items.at(i); }
    CStringT<C>& ElementAt(int i) { return m_items.at(i); }
    void SetAt(int i, const CStringT<C>& s) { m_items.at(i) = s; }
    void SetAtGrow(int i, const CStringT<C>& s) {
        if (i >= GetSize())
            SetSize(i + 1);
        m_items.at(i) = s;
    }
    const CStringT<C>& operator[](int i) const { return m_items.at(i); }
    CStringT<C>& operator[](int i) { return m_items.at(i); }
    void InsertAt(int i, const CStringT<C>& s, int count = 1) {
        if (i > GetSize())
            SetSize(i);
        m_items.insert(m_items.begin() + i, count, s);
    }
    void RemoveAt(int i, int count = 1) {
        if (i < 0 || i >= GetSize() || count <= 0)
            return;
        m_items.erase(m_items.begin() + i, m_items.begin() + std::min(i + count, GetSize()));
    }
    void RemoveAll() { m_items.clear(); }
    int Append(const CStringArrayT& other) {
        const int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<CStringT<C>> m_items;
};

typedef CStringArrayT<char> CStringArrayA;
typedef CStringArrayT<char16_t> CStringArrayW;

#if defined(QUARVEL_MODULE)
typedef CStringT<TCHAR> CString;
typedef CStringArrayT<TCHAR> CStringArray;
#endif
