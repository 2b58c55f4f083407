// Object identifiers and handles of the drawing database.
#pragma once

#include <cstdint>
#include <functional>

class AcDbDatabase;
class AcDbStub;  // the host's record of one object (defined by the host)

// A database object's handle: a 64-bit number, unique in its drawing, written in hexadecimal.
class AcDbHandle {
public:
    AcDbHandle() = default;
    explicit AcDbHandle(std::uint64_t value) : m_value(value) {}
    bool isNull() const { return m_value == 0; }
    std::uint64_t value() const { return m_value; }
    // Upper-case hexadecimal without leading zeros into buf (at least 17 characters).
    void getIntoAsciiBuffer(char* buf) const;
    bool operator==(const AcDbHandle& o) const { return m_value == o.m_value; }
    bool operator!=(const AcDbHandle& o) const { return m_value != o.m_value; }
    bool operator<(const AcDbHandle& o) const { return m_value < o.m_value; }

private:
    std::uint64_t m_value = 0;
};

// Identifies one object of an open database for the life of the session.
class AcDbObjectId {
public:
    AcDbObjectId() = default;
    explicit AcDbObjectId(AcDbStub* stub) : m_id(stub) {}
    static const AcDbObjectId kNull;
    bool isNull() const { return m_id == nullptr; }
    void setNull() { m_id = nullptr; }
    bool isValid() const;   // not null and its database is still open
    bool isErased() const;  // the object was erased
    AcDbHandle handle() const;
    AcDbDatabase* database() const;
    AcDbStub* stub() const { return m_id; }
    bool operator==(const AcDbObjectId& o) const { return m_id == o.m_id; }
    bool operator!=(const AcDbObjectId& o) const { return m_id != o.m_id; }
    bool operator<(const AcDbObjectId& o) const { return std::less<AcDbStub*>()(m_id, o.m_id); }

private:
    AcDbStub* m_id = nullptr;
};

inline const AcDbObjectId AcDbObjectId::kNull{};
