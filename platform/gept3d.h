// Points and vectors of the geometry library (the subset the module and the host use).
#pragma once

#include <cmath>

class AcGeVector3d {
public:
    AcGeVector3d() = default;
    AcGeVector3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    static const AcGeVector3d kXAxis, kYAxis, kZAxis;
    double length() const { return std::sqrt(x * x + y * y + z * z); }
    AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    bool operator==(const AcGeVector3d& v) const { return x == v.x && y == v.y && z == v.z; }
    double x = 0, y = 0, z = 0;
};

inline const AcGeVector3d AcGeVector3d::kXAxis{1, 0, 0};
inline const AcGeVector3d AcGeVector3d::kYAxis{0, 1, 0};
inline const AcGeVector3d AcGeVector3d::kZAxis{0, 0, 1};

class AcGePoint3d {
public:
    AcGePoint3d() = default;
    AcGePoint3d(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    static const AcGePoint3d kOrigin;
    AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
    bool operator==(const AcGePoint3d& p) const { return x == p.x && y == p.y && z == p.z; }
    double x = 0, y = 0, z = 0;
};

inline const AcGePoint3d AcGePoint3d::kOrigin{0, 0, 0};

class AcGeMatrix3d {
public:
    AcGeMatrix3d() {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) entry[r][c] = r == c ? 1.0 : 0.0;
    }
    static AcGeMatrix3d translation(const AcGeVector3d& v) {
        AcGeMatrix3d m;
        m.entry[0][3] = v.x, m.entry[1][3] = v.y, m.entry[2][3] = v.z;
        return m;
    }
    AcGePoint3d apply(const AcGePoint3d& p) const {
        return {entry[0][0] * p.x + entry[0][1] * p.y + entry[0][2] * p.z + entry[0][3],
                entry[1][0] * p.x + entry[1][1] * p.y + entry[1][2] * p.z + entry[1][3],
                entry[2][0] * p.x + entry[2][1] * p.y + entry[2][2] * p.z + entry[2][3]};
    }
    AcGeVector3d applyToVector(const AcGeVector3d& v) const {
        return {entry[0][0] * v.x + entry[0][1] * v.y + entry[0][2] * v.z,
                entry[1][0] * v.x + entry[1][1] * v.y + entry[1][2] * v.z,
                entry[2][0] * v.x + entry[2][1] * v.y + entry[2][2] * v.z};
    }
    double entry[4][4];
};
