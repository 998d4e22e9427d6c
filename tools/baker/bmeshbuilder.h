// bmeshbuilder.h: triangle meshes built in model coordinates and written as
// a 3DS file through H3DSWriter.
//
// Input: vertices in the game's model space (x right, y up, z towards the
// viewer), triangles wound counter-clockwise seen from outside. Output: a
// 3DS file whose meshes the game's reader turns back into exactly these
// vertices (H3DSWriter stores model (x, y, z) as file (x, -z, y), z up).
//
// Shading follows from sharing: the model averages the face normals of
// every face that names a vertex, so faces that should meet at a hard edge
// get vertices of their own (flat*), and a smooth surface shares them
// (loft). The winding matters: a vertex normal points out of the side
// from which its faces run counter-clockwise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "assets/vec3.h"

class BMesh {
public:
    // A new vertex and its index; u, v only matter for textured meshes.
    int vertex(Vec3 p, float u = 0.0f, float v = 0.0f);
    void triangle(int a, int b, int c);
    // Two triangles a-b-c and a-c-d.
    void quad(int a, int b, int c, int d);

    struct Uv {
        float u, v;
    };
    // Texture coordinates of a point, for facets of textured meshes.
    using Mapping = std::function<Uv(Vec3)>;

    // A triangle or a quad with vertices of its own: a hard-edged facet.
    // The corners are reordered, if needed, so that the facet faces
    // outward (the side of the dot product with outward > 0). map, when
    // given, sets each corner's texture coordinates.
    void flatTriangle(Vec3 a, Vec3 b, Vec3 c, Vec3 outward, const Mapping& map = {});
    void flatQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 outward, const Mapping& map = {});
    // A convex polygon, fanned from its first corner, facing outward.
    void flatPolygon(const std::vector<Vec3>& corners, Vec3 outward, const Mapping& map = {});

    // A smooth tube through cross-sections: rings[i] holds the points of one
    // cross-section, all rings with the same count; the surface joins ring i
    // to ring i + 1 and closes each ring on itself. It faces outward when
    // every ring runs counter-clockwise seen from the first ring looking
    // towards the last. uv[i][k] gives the texture coordinates of rings[i][k]; the
    // ring's first point is repeated with uvSeam[i] so that the texture does
    // not wrap backwards across the seam. Pass empty uv for none.
    // A ring of one point makes a pointed end.
    void loft(const std::vector<std::vector<Vec3>>& rings, const std::vector<std::vector<Uv>>& uv = {},
              const std::vector<Uv>& uvSeam = {});

    // Moves every vertex by offset.
    void translate(Vec3 offset);
    // Scales every vertex by k about the origin.
    void scale(float k);

    const std::vector<Vec3>& vertices() const { return points; }
    const std::vector<float>& texCoords() const { return uvs; }
    // Three indices per triangle.
    const std::vector<uint16_t>& faces() const { return indices; }
    int triangleCount() const { return static_cast<int>(indices.size() / 3); }

private:
    // A new vertex with its coordinates from map, if any.
    int mapped(Vec3 p, const Mapping& map);

    std::vector<Vec3> points;
    std::vector<float> uvs;
    std::vector<uint16_t> indices;
};

// A whole model: materials and named meshes, each mesh with one material.
class BModelFile {
public:
    // textureFile empty: the material is drawn in its colour.
    void material(const std::string& name, uint8_t red, uint8_t green, uint8_t blue,
                  const std::string& textureFile = "");
    // Adds a mesh drawn with the named material; textured meshes carry their
    // texture coordinates into the file.
    void mesh(const std::string& name, const std::string& materialName, const BMesh& mesh);
    // The corners of every triangle of every mesh, three a triangle, in
    // model coordinates.
    std::vector<Vec3> triangles() const;
    // Writes the 3DS file: version 3, materials first (the reader only
    // matches a mesh to materials it has already read), then the objects.
    // False after a message on standard error.
    bool write(const char* path) const;

private:
    struct Material {
        std::string name, textureFile;
        uint8_t colour[3];
    };
    struct Part {
        std::string name, material;
        BMesh mesh;
    };
    std::vector<Material> materials;
    std::vector<Part> parts;
};
