// bmeshbuilder.cpp: facets, lofts and the 3DS file of a model.
#include "baker/bmeshbuilder.h"

#include <cstdio>   // Required for: fprintf
#include <utility>  // Required for: std::swap

#include "assets/h3dsformat.h"
#include "assets/h3dswriter.h"

namespace {

float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

int BMesh::vertex(Vec3 p, float u, float v) {
    points.push_back(p);
    uvs.push_back(u);
    uvs.push_back(v);
    return static_cast<int>(points.size()) - 1;
}

void BMesh::triangle(int a, int b, int c) {
    indices.push_back(static_cast<uint16_t>(a));
    indices.push_back(static_cast<uint16_t>(b));
    indices.push_back(static_cast<uint16_t>(c));
}

void BMesh::quad(int a, int b, int c, int d) {
    triangle(a, b, c);
    triangle(a, c, d);
}

int BMesh::mapped(Vec3 p, const Mapping& map) {
    if (!map) return vertex(p);
    const Uv t = map(p);
    return vertex(p, t.u, t.v);
}

void BMesh::flatTriangle(Vec3 a, Vec3 b, Vec3 c, Vec3 outward, const Mapping& map) {
    if (dot(cross(subtract(b, a), subtract(c, a)), outward) < 0.0f) std::swap(b, c);
    triangle(mapped(a, map), mapped(b, map), mapped(c, map));
}

void BMesh::flatQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 outward, const Mapping& map) {
    if (dot(cross(subtract(b, a), subtract(c, a)), outward) < 0.0f) std::swap(b, d);
    quad(mapped(a, map), mapped(b, map), mapped(c, map), mapped(d, map));
}

void BMesh::flatPolygon(const std::vector<Vec3>& corners, Vec3 outward, const Mapping& map) {
    if (corners.size() < 3) return;
    // The polygon's own normal, summed over the fan, decides its sense.
    Vec3 normal;
    for (size_t i = 1; i + 1 < corners.size(); ++i)
        normal = add(normal, cross(subtract(corners[i], corners[0]), subtract(corners[i + 1], corners[0])));
    std::vector<int> ids;
    for (const Vec3& c : corners) ids.push_back(mapped(c, map));
    const bool reversed = dot(normal, outward) < 0.0f;
    for (size_t i = 1; i + 1 < ids.size(); ++i) {
        if (reversed)
            triangle(ids[0], ids[i + 1], ids[i]);
        else
            triangle(ids[0], ids[i], ids[i + 1]);
    }
}

void BMesh::loft(const std::vector<std::vector<Vec3>>& rings, const std::vector<std::vector<Uv>>& uv,
                 const std::vector<Uv>& uvSeam) {
    // Vertex indices of each ring; a full ring gets one extra vertex at the
    // seam, a copy of its first point with the seam's texture coordinates.
    std::vector<std::vector<int>> ids(rings.size());
    for (size_t i = 0; i < rings.size(); ++i) {
        for (size_t k = 0; k < rings[i].size(); ++k) {
            const Uv t = uv.empty() ? Uv{0.0f, 0.0f} : uv[i][k];
            ids[i].push_back(vertex(rings[i][k], t.u, t.v));
        }
        if (rings[i].size() > 1) {
            const Uv t = uvSeam.empty() ? (uv.empty() ? Uv{0.0f, 0.0f} : uv[i][0]) : uvSeam[i];
            ids[i].push_back(uv.empty() ? ids[i][0] : vertex(rings[i][0], t.u, t.v));
        }
    }
    for (size_t i = 0; i + 1 < rings.size(); ++i) {
        const std::vector<int>& a = ids[i];
        const std::vector<int>& b = ids[i + 1];
        if (a.size() == 1) {
            for (size_t k = 0; k + 1 < b.size(); ++k) triangle(a[0], b[k], b[k + 1]);
        } else if (b.size() == 1) {
            for (size_t k = 0; k + 1 < a.size(); ++k) triangle(a[k], b[0], a[k + 1]);
        } else {
            for (size_t k = 0; k + 1 < a.size(); ++k) quad(a[k], b[k], b[k + 1], a[k + 1]);
        }
    }
}

void BMesh::translate(Vec3 offset) {
    for (Vec3& p : points) p = add(p, offset);
}

void BMesh::scale(float k) {
    for (Vec3& p : points) p = Vec3(p.x * k, p.y * k, p.z * k);
}

void BModelFile::material(const std::string& name, uint8_t red, uint8_t green, uint8_t blue,
                          const std::string& textureFile) {
    materials.push_back({name, textureFile, {red, green, blue}});
}

void BModelFile::mesh(const std::string& name, const std::string& materialName, const BMesh& mesh) {
    parts.push_back({name, materialName, mesh});
}

std::vector<Vec3> BModelFile::triangles() const {
    std::vector<Vec3> corners;
    for (const Part& part : parts)
        for (const uint16_t index : part.mesh.faces()) corners.push_back(part.mesh.vertices()[index]);
    return corners;
}

bool BModelFile::write(const char* path) const {
    H3DSWriter w;
    w.begin(h3ds::CHUNK_MAIN);
    w.version(3);
    w.begin(h3ds::CHUNK_EDITOR);
    w.meshVersion(3);
    for (const Material& m : materials)
        w.material(m.name.c_str(), m.colour[0], m.colour[1], m.colour[2],
                   m.textureFile.empty() ? nullptr : m.textureFile.c_str());
    for (const Part& part : parts) {
        bool textured = false;
        for (const Material& m : materials)
            if (m.name == part.material) textured = !m.textureFile.empty();
        const BMesh& mesh = part.mesh;
        w.beginObject(part.name.c_str());
        w.begin(h3ds::CHUNK_TRIANGLE_MESH);
        w.vertexListFromModel(mesh.vertices().data(), mesh.vertices().size());
        w.faceList(reinterpret_cast<const uint16_t(*)[3]>(mesh.faces().data()), mesh.faces().size() / 3,
                   part.material.c_str());
        if (textured) w.texCoordList(mesh.texCoords().data(), mesh.vertices().size());
        w.end();  // triangle mesh
        w.end();  // named object
    }
    w.endAll();
    if (!w.ok()) {
        fprintf(stderr, "Unable to build the model %s\n", path);
        return false;
    }
    return w.writeFile(path);
}
