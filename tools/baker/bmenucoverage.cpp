// bmenucoverage.cpp: the menu's models projected onto its picture over a
// whole turn.
#include "baker/bmenucoverage.h"

#include <algorithm>  // Required for: std::min, std::max, std::clamp
#include <cmath>      // Required for: std::cos, std::sin, std::sqrt, std::floor, std::ceil, std::tan

namespace {

constexpr float PI = 3.14159265358979f;

// The menu's draw (screens/mmainmenu.cpp): everything is pushed MENU_PUSH
// back, then each model moved by its own translation.

// OpenGL's glRotatef: angle in degrees about the axis, normalised.
Vec3 rotate(Vec3 p, Vec3 axis, float degrees) {
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    const Vec3 u(axis.x / length, axis.y / length, axis.z / length);
    const float a = degrees * PI / 180.0f, c = std::cos(a), s = std::sin(a);
    const float along = (u.x * p.x + u.y * p.y + u.z * p.z) * (1.0f - c);
    const Vec3 across = cross(u, p);
    return Vec3(p.x * c + across.x * s + u.x * along, p.y * c + across.y * s + u.y * along,
                p.z * c + across.z * s + u.z * along);
}

}  // namespace

const BRect VISIBLE_4_3 = {-MENU_PICTURE_DEPTH * 0.41421356f * 4.0f / 3.0f, -MENU_PICTURE_DEPTH * 0.41421356f,
                           MENU_PICTURE_DEPTH * 0.41421356f * 4.0f / 3.0f, MENU_PICTURE_DEPTH * 0.41421356f};

namespace {
BMenuPlacement pushed(const MMenuPlacement& p) {
    return {Vec3(p.x, p.y, p.z - MENU_PUSH), Vec3(p.axisX, p.axisY, p.axisZ), p.scale};
}
BRect pictureRect(const MMenuQuad& q, float scale) {
    return {q.left * scale, q.bottom * scale, q.right * scale, q.top * scale};
}
}  // namespace

const BMenuPlacement MENU_LOGO_TURN = pushed(MENU_LOGO);
const BMenuPlacement MENU_LEFT_SHIP_TURN = pushed(MENU_LEFT_SHIP);
const BMenuPlacement MENU_RIGHT_SHIP_TURN = pushed(MENU_RIGHT_SHIP);

// The controller pictures' quads, just in front of the eye, as they fall
// on the picture.
const BRect MENU_LEFT_CHOICE =
    pictureRect(MENU_LEFT_CHOICE_QUAD, MENU_PICTURE_DEPTH / (MENU_PUSH - MENU_LEFT_CHOICE_QUAD.z));
const BRect MENU_RIGHT_CHOICE =
    pictureRect(MENU_RIGHT_CHOICE_QUAD, MENU_PICTURE_DEPTH / (MENU_PUSH - MENU_RIGHT_CHOICE_QUAD.z));

BMenuCoverage::BMenuCoverage(int cellsPerUnit)
    : perUnit(cellsPerUnit),
      columns(static_cast<int>(2.0f * MENU_PICTURE_HALF_WIDTH) * cellsPerUnit),
      rows(static_cast<int>(2.0f * MENU_PICTURE_HALF_HEIGHT) * cellsPerUnit),
      cells(static_cast<size_t>(columns) * rows, 0) {}

int BMenuCoverage::column(float x) const {
    return static_cast<int>(std::floor((x + MENU_PICTURE_HALF_WIDTH) * static_cast<float>(perUnit)));
}

int BMenuCoverage::row(float y) const {
    return static_cast<int>(std::floor((MENU_PICTURE_HALF_HEIGHT - y) * static_cast<float>(perUnit)));
}

void BMenuCoverage::fillTriangle(float ax, float ay, float bx, float by, float cx, float cy) {
    // In cell coordinates (x right, y down), cells whose centre lies inside
    // or on an edge. A triangle thinner than a cell may miss every centre;
    // dilate() afterwards closes such gaps.
    const float k = static_cast<float>(perUnit);
    const float x[3] = {(ax + MENU_PICTURE_HALF_WIDTH) * k, (bx + MENU_PICTURE_HALF_WIDTH) * k,
                        (cx + MENU_PICTURE_HALF_WIDTH) * k};
    const float y[3] = {(MENU_PICTURE_HALF_HEIGHT - ay) * k, (MENU_PICTURE_HALF_HEIGHT - by) * k,
                        (MENU_PICTURE_HALF_HEIGHT - cy) * k};
    const float area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    const int c0 = std::max(0, static_cast<int>(std::floor(std::min({x[0], x[1], x[2]}))));
    const int c1 = std::min(columns - 1, static_cast<int>(std::ceil(std::max({x[0], x[1], x[2]}))));
    const int r0 = std::max(0, static_cast<int>(std::floor(std::min({y[0], y[1], y[2]}))));
    const int r1 = std::min(rows - 1, static_cast<int>(std::ceil(std::max({y[0], y[1], y[2]}))));
    if (area == 0.0f) {
        // Edge-on: mark the cells its corners fall in.
        for (int i = 0; i < 3; ++i) {
            const int c = static_cast<int>(std::floor(x[i])), r = static_cast<int>(std::floor(y[i]));
            if (c >= 0 && c < columns && r >= 0 && r < rows) cells[static_cast<size_t>(r) * columns + c] = 1;
        }
        return;
    }
    const float sense = area > 0.0f ? 1.0f : -1.0f;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const float px = static_cast<float>(c) + 0.5f, py = static_cast<float>(r) + 0.5f;
            bool inside = true;
            for (int i = 0; i < 3 && inside; ++i) {
                const int j = (i + 1) % 3;
                const float edge = (x[j] - x[i]) * (py - y[i]) - (y[j] - y[i]) * (px - x[i]);
                inside = edge * sense >= 0.0f;
            }
            if (inside) cells[static_cast<size_t>(r) * columns + c] = 1;
        }
}

void BMenuCoverage::addTurn(const std::vector<Vec3>& triangles, const BMenuPlacement& placement, int steps) {
    for (int step = 0; step < steps; ++step) {
        const float angle = 360.0f * static_cast<float>(step) / static_cast<float>(steps);
        const auto onPicture = [&](Vec3 p) {
            const Vec3 q = ::add(rotate(Vec3(p.x * placement.scale, p.y * placement.scale, p.z * placement.scale),
                                      placement.axis, angle),
                               placement.where);
            const float k = MENU_PICTURE_DEPTH / -q.z;
            return Vec3(q.x * k, q.y * k, 0.0f);
        };
        for (size_t i = 0; i + 2 < triangles.size(); i += 3) {
            const Vec3 a = onPicture(triangles[i]), b = onPicture(triangles[i + 1]), c = onPicture(triangles[i + 2]);
            fillTriangle(a.x, a.y, b.x, b.y, c.x, c.y);
        }
    }
}

void BMenuCoverage::dilate(float by) {
    const int reach = static_cast<int>(std::ceil(by * static_cast<float>(perUnit)));
    if (reach <= 0) return;
    // A square grown in two passes, rows then columns.
    std::vector<unsigned char> across(cells.size(), 0), grown(cells.size(), 0);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (cells[static_cast<size_t>(r) * columns + c])
                for (int d = std::max(0, c - reach); d <= std::min(columns - 1, c + reach); ++d)
                    across[static_cast<size_t>(r) * columns + d] = 1;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (across[static_cast<size_t>(r) * columns + c])
                for (int d = std::max(0, r - reach); d <= std::min(rows - 1, r + reach); ++d)
                    grown[static_cast<size_t>(d) * columns + c] = 1;
    cells.swap(grown);
}

void BMenuCoverage::add(const BMenuCoverage& other) {
    for (size_t i = 0; i < cells.size() && i < other.cells.size(); ++i) cells[i] |= other.cells[i];
}

bool BMenuCoverage::covered(float x, float y) const {
    const int c = column(x), r = row(y);
    if (c < 0 || c >= columns || r < 0 || r >= rows) return false;
    return cells[static_cast<size_t>(r) * columns + c] != 0;
}

void BMenuCoverage::cellsIn(const BRect& rect, int& c0, int& c1, int& r0, int& r1) const {
    // The cells whose centre lies inside the rectangle.
    const float k = static_cast<float>(perUnit);
    c0 = std::max(0, static_cast<int>(std::ceil((rect.x0 + MENU_PICTURE_HALF_WIDTH) * k - 0.5f)));
    c1 = std::min(columns - 1, static_cast<int>(std::floor((rect.x1 + MENU_PICTURE_HALF_WIDTH) * k - 0.5f)));
    r0 = std::max(0, static_cast<int>(std::ceil((MENU_PICTURE_HALF_HEIGHT - rect.y1) * k - 0.5f)));
    r1 = std::min(rows - 1, static_cast<int>(std::floor((MENU_PICTURE_HALF_HEIGHT - rect.y0) * k - 0.5f)));
}

bool BMenuCoverage::meets(const BRect& rect) const {
    int c0, c1, r0, r1;
    cellsIn(rect, c0, c1, r0, r1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            if (cells[static_cast<size_t>(r) * columns + c]) return true;
    return false;
}

BRect BMenuCoverage::bounds() const {
    int c0 = columns, c1 = -1, r0 = rows, r1 = -1;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            if (cells[static_cast<size_t>(r) * columns + c]) {
                c0 = std::min(c0, c);
                c1 = std::max(c1, c);
                r0 = std::min(r0, r);
                r1 = std::max(r1, r);
            }
    if (c1 < 0) return {0.0f, 0.0f, 0.0f, 0.0f};
    const float k = static_cast<float>(perUnit);
    return {static_cast<float>(c0) / k - MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT - static_cast<float>(r1 + 1) / k,
            static_cast<float>(c1 + 1) / k - MENU_PICTURE_HALF_WIDTH, MENU_PICTURE_HALF_HEIGHT - static_cast<float>(r0) / k};
}

BMenuCoverage menuCoverage(const std::vector<Vec3>& logo, const std::vector<Vec3>& leftShip,
                           const std::vector<Vec3>& rightShip) {
    BMenuCoverage coverage;
    coverage.addTurn(logo, MENU_LOGO_TURN, MENU_TURN_STEPS);
    coverage.addTurn(leftShip, MENU_LEFT_SHIP_TURN, MENU_TURN_STEPS);
    coverage.addTurn(rightShip, MENU_RIGHT_SHIP_TURN, MENU_TURN_STEPS);
    coverage.dilate(MENU_STEP_GROWTH);
    return coverage;
}
