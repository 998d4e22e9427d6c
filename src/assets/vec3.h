// vec3.h: the three-float vector used across the program, and the helpers
// that the normal computation and the computer controller need.
//
// The helpers take their vectors by value and return a new one; none of them
// guards against degenerate input (normalise of a zero vector divides by
// zero), so callers that can meet one check the result themselves.
#pragma once

#include <cmath>

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

inline Vec3 subtract(Vec3 a, Vec3 b) { return Vec3(a.x - b.x, a.y - b.y, a.z - b.z); }

inline Vec3 add(Vec3 a, Vec3 b) { return Vec3(a.x + b.x, a.y + b.y, a.z + b.z); }

inline Vec3 divide(Vec3 v, float s) { return Vec3(v.x / s, v.y / s, v.z / s); }

inline Vec3 cross(Vec3 a, Vec3 b) {
    return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// Unit vector along v. A zero vector gives NaN components: there is no
// special case, on purpose, so that results stay bit-for-bit predictable.
inline Vec3 normalise(Vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return Vec3(v.x / length, v.y / length, v.z / length);
}

// Exact float equality of x and y; z is ignored. The computer player asks it
// of a ship's position and where its last step began: equal means the ship
// did not move in the screen plane (held by an edge, or put back by a
// bounce), so it is stuck and decides anew.
inline bool equalsXY(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y; }
