// Reading ".asc" meshes, projecting them for each eye and drawing their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "imaging/processing/mesh3d.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }

const char kOneFace[] =
    "Named object: \"t\"\r\nTri-mesh, Vertices: 3     Faces: 1\r\nVertex list:\r\n"
    "Vertex 0:  X:1     Y:2     Z:3\r\nVertex 1:  X:-1     Y:0     Z:-3\r\nVertex 2:  X:0     Y:-2     Z:0\r\n"
    "Face list:\r\nFace 0:    A:0 B:1 C:2 AB:1 BC:0 CA:0\r\n";

TEST(Mesh3D, ReadsVerticesWithTheFilesAxesAndCentres) {
  TBitmap l(100, 100), r(100, 100);
  tobjects3d m(&l, &r);
  m.LoadAscText(kOneFace);
  ASSERT_EQ(m.Objects.size(), 1u);
  // (1, 2, 3) is stored as (1, -3, 2); the box is kept as read.
  EXPECT_EQ(m.MinY, -3);
  EXPECT_EQ(m.MaxY, 3);
  EXPECT_EQ(m.MaxZ, 2);
  EXPECT_EQ(m.MinZ, -2);
  const TMeshVertex v = m.Objects[0].Vertices[0];
  EXPECT_DOUBLE_EQ(v.X, 1);  // the box is centred on the origin already
  EXPECT_DOUBLE_EQ(v.Y, -3);
  EXPECT_DOUBLE_EQ(v.Z, 2);
  EXPECT_TRUE(m.Objects[0].Faces[0].AB);
  EXPECT_FALSE(m.Objects[0].Faces[0].BC);
}

TEST(Mesh3D, ProjectsForEachEye) {
  TBitmap l(200, 100), r(200, 100);
  tobjects3d m(&l, &r);
  m.Matrix = IdentityMatrix();
  int32_t x = 0, y = 0;
  ASSERT_TRUE(m.Project({0, 0, 0}, -34, x, y));
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  // Halfway to the viewer: 34 to the right for the left eye, 34 left for the right eye.
  ASSERT_TRUE(m.Project({0, 0, 450}, -34, x, y));
  EXPECT_EQ(x, 134);
  ASSERT_TRUE(m.Project({0, 0, 450}, 34, x, y));
  EXPECT_EQ(x, 66);
  EXPECT_FALSE(m.Project({0, 0, 900}, 34, x, y));
}

// Every drawn pixel lies on a projected edge, and every projected vertex is drawn.
void CheckDrawing(const TMeshObject& Object, double Angle) {
  TBitmap l(240, 200), r(240, 200);
  FillFlat24(l, Gray(128));
  FillFlat24(r, Gray(128));
  tobjects3d m(&l, &r);
  m.LoadAscText(WriteAscMesh("o", Object));
  m.RotateY = Angle;
  m.RotateX = 20;
  m.Scale = 0.6;
  m.BuildMatrix();
  m.DrawEye(0, 0);
  m.DrawEye(0, 1);
  for (int32_t eye = 0; eye < 2; ++eye) {
    const TBitmap& b = eye == 0 ? l : r;
    const int32_t shift = eye == 0 ? -34 : 34;
    std::vector<std::pair<double, double>> points;
    std::vector<std::array<double, 4>> edges;
    const TMeshObject& o = m.Objects[0];
    auto proj = [&](int32_t i) {
      const TMeshVertex v = o.Vertices[size_t(i)];
      const auto& M = m.Matrix;
      const double X = M[0][0] * v.X + M[0][1] * v.Y + M[0][2] * v.Z + M[0][3];
      const double Y = M[1][0] * v.X + M[1][1] * v.Y + M[1][2] * v.Z + M[1][3];
      const double Z = M[2][0] * v.X + M[2][1] * v.Y + M[2][2] * v.Z + M[2][3];
      const double d = 900 - Z;
      return std::pair{120 + std::nearbyint((900 * X - Z * shift) / d), 100 + std::nearbyint(900 * Y / d)};
    };
    for (const TMeshFace& f : o.Faces) {
      const auto a = proj(f.A), bb = proj(f.B), c = proj(f.C);
      if (f.AB) edges.push_back({a.first, a.second, bb.first, bb.second});
      if (f.BC) edges.push_back({bb.first, bb.second, c.first, c.second});
      if (f.CA) edges.push_back({c.first, c.second, a.first, a.second});
      for (auto p : {a, bb, c}) points.push_back(p);
    }
    int32_t white = 0;
    for (int32_t y = 0; y < b.Height(); ++y)
      for (int32_t x = 0; x < b.Width(); ++x) {
        const TBGRPixel p = At(b, x, y);
        if (p == Gray(128)) continue;
        ASSERT_EQ(p, Gray(255));
        ++white;
        double best = 1e9;
        for (const auto& e : edges) {
          const double dx = e[2] - e[0], dy = e[3] - e[1], len2 = dx * dx + dy * dy;
          double t = len2 > 0 ? ((x - e[0]) * dx + (y - e[1]) * dy) / len2 : 0;
          t = std::clamp(t, 0.0, 1.0);
          best = std::min(best, std::hypot(x - (e[0] + t * dx), y - (e[1] + t * dy)));
        }
        ASSERT_LE(best, 0.75) << "eye " << eye << " pixel " << x << "," << y;
      }
    EXPECT_GT(white, 100);
    for (const auto& e : edges)
      for (int k : {0, 2}) {
        ASSERT_TRUE(e[k] >= 0 && e[k] < b.Width() && e[k + 1] >= 0 && e[k + 1] < b.Height());
        EXPECT_EQ(At(b, int32_t(e[k]), int32_t(e[k + 1])), Gray(255));
      }
  }
}

TEST(Mesh3D, CubeAndSphereEdgesLieOnTheProjection) {
  CheckDrawing(MakeCubeMesh(80), 30);
  CheckDrawing(MakeSphereMesh(60, 6, 10), 15);
}

TEST(Mesh3D, BadFilesAreRefused) {
  TBitmap l(50, 50), r(50, 50);
  tobjects3d m(&l, &r);
  const std::string head = "Named object: \"t\"\nTri-mesh, Vertices: 2     Faces: 1\nVertex 0: X:0 Y:0 Z:0\nVertex 1: X:1 Y:1 Z:1\n";
  EXPECT_THROW(m.LoadAscText(head + "Face 0: A:0 B:1 C:2 AB:1 BC:1 CA:1\n"), EMeshError);   // no vertex 2
  EXPECT_THROW(m.LoadAscText(head + "Face 0: A:0 B:-1 C:1 AB:1 BC:1 CA:1\n"), EMeshError);  // negative
  EXPECT_THROW(m.LoadAscText(head), EMeshError);                                           // face missing
  EXPECT_THROW(m.LoadAscText("Named object: \"t\"\nTri-mesh, Vertices: 0     Faces: 0\n"), EMeshError);
  EXPECT_THROW(m.LoadAscText("nothing here\n"), EMeshError);
  EXPECT_THROW(m.LoadAscText(head + "Face 0: A:x B:1 C:0 AB:1 BC:1 CA:1\n"), EMeshError);
  EXPECT_THROW(m.LoadAscText("Named object: \"t\"\nTri-mesh, Vertices: 99999999     Faces: 1\n"), EMeshError);
  // A refused file leaves the mesh as it was.
  m.LoadAscText(kOneFace);
  EXPECT_THROW(m.LoadAscText(head), EMeshError);
  EXPECT_EQ(m.Objects.size(), 1u);
  EXPECT_EQ(m.Objects[0].Vertices.size(), 3u);
}

}  // namespace
}  // namespace kv
