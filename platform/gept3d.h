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
    AcGeVector3d operator-() const { return {-x, -y, -z}; }
    bool operator==(const AcGeVector3d& v) const { return x == v.x && y == v.y && z == v.z; }
    double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    AcGeVector3d crossProduct(const AcGeVector3d& v) const {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }
    // The unit vector of the same direction (the zero vector stays zero).
    AcGeVector3d normal() const {
        const double len = length();
        return len > 0 ? AcGeVector3d(x / len, y / len, z / len) : AcGeVector3d();
    }
    AcGeVector3d& normalize() { return *this = normal(); }
    bool isZeroLength(double tol = 1e-10) const { return length() <= tol; }
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
    AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    bool operator==(const AcGePoint3d& p) const { return x == p.x && y == p.y && z == p.z; }
    double distanceTo(const AcGePoint3d& p) const { return (*this - p).length(); }
    AcGeVector3d asVector() const { return {x, y, z}; }
    double x = 0, y = 0, z = 0;
};

inline const AcGePoint3d AcGePoint3d::kOrigin{0, 0, 0};

class AcGeMatrix3d {
public:
    AcGeMatrix3d() {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                entry[r][c] = r == c ? 1.0 : 0.0;
    }
    static AcGeMatrix3d translation(const AcGeVector3d& v) {
        AcGeMatrix3d m;
        m.entry[0][3] = v.x, m.entry[1][3] = v.y, m.entry[2][3] = v.z;
        return m;
    }
    // Rotation by angle (radians, counter-clockwise seen against the axis) about an axis
    // through center.
    static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                                 const AcGePoint3d& center = AcGePoint3d(0, 0, 0)) {
        const AcGeVector3d u = axis.normal();
        const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
        AcGeMatrix3d m;
        m.entry[0][0] = t * u.x * u.x + c, m.entry[0][1] = t * u.x * u.y - s * u.z;
        m.entry[0][2] = t * u.x * u.z + s * u.y;
        m.entry[1][0] = t * u.x * u.y + s * u.z, m.entry[1][1] = t * u.y * u.y + c;
        m.entry[1][2] = t * u.y * u.z - s * u.x;
        m.entry[2][0] = t * u.x * u.z - s * u.y, m.entry[2][1] = t * u.y * u.z + s * u.x;
        m.entry[2][2] = t * u.z * u.z + c;
        for (int r = 0; r < 3; ++r) {
            m.entry[r][3] =
                (r == 0   ? center.x
                 : r == 1 ? center.y
                          : center.z) -
                (m.entry[r][0] * center.x + m.entry[r][1] * center.y + m.entry[r][2] * center.z);
        }
        return m;
    }
    // Uniform scaling about a point.
    static AcGeMatrix3d scaling(double factor, const AcGePoint3d& center = AcGePoint3d(0, 0, 0)) {
        AcGeMatrix3d m;
        m.entry[0][0] = m.entry[1][1] = m.entry[2][2] = factor;
        m.entry[0][3] = center.x * (1 - factor);
        m.entry[1][3] = center.y * (1 - factor);
        m.entry[2][3] = center.z * (1 - factor);
        return m;
    }
    AcGeMatrix3d operator*(const AcGeMatrix3d& o) const {
        AcGeMatrix3d m;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += entry[r][k] * o.entry[k][c];
                m.entry[r][c] = sum;
            }
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
