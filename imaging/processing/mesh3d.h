// A small wire-frame renderer: triangle meshes read from ".asc" text files,
// placed and turned by a 4 x 4 matrix, drawn once per eye with a perspective
// whose centre is shifted sideways by half the distance between the eyes.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace kv {

class TBitmap;

// A mesh file that cannot be used (a bad number, an index outside the
// vertices, no faces, a file that ends before its announced counts).
KV_DECLARE_EXCEPTION(EMeshError, Exception)

struct TMeshVertex {
  double X = 0, Y = 0, Z = 0;
};
struct TMeshFace {
  int32_t A = 0, B = 0, C = 0;
  bool AB = false, BC = false, CA = false;
};
struct TMeshObject {
  std::vector<TMeshVertex> Vertices;
  std::vector<TMeshFace> Faces;
};

using TMatrix4 = std::array<std::array<double, 4>, 4>;
TMatrix4 IdentityMatrix();

class tobjects3d {
 public:
  // The bitmaps are not owned; both are drawn on in white.
  tobjects3d(TBitmap* ALeft, TBitmap* ARight);

  int32_t EyeOffset = 34;
  int32_t Monitorz = 900;
  double TranslateX = 0, TranslateY = 0, TranslateZ = 0;
  double PlacedX = 0, PlacedY = 0, PlacedZ = 0;
  double RotateX = 0, RotateY = 0, RotateZ = 0;
  double Scale = 1.0;
  double MinX = 0, MinY = 0, MinZ = 0, MaxX = 0, MaxY = 0, MaxZ = 0;
  TMatrix4 Matrix = IdentityMatrix();
  std::vector<TMeshObject> Objects;
  uint32_t PenColour = 0xFFFFFF;  // red, green, blue from the low byte up

  // Replaces the objects by those of the file, centred; raises EMeshError.
  void LoadAscMesh(const std::string& FileName);
  // The same from text already read.
  void LoadAscText(const std::string& Text);
  void ResetPosition();
  void BuildMatrix();
  void DrawEye(int32_t Object, int32_t Eye);

  // Screen position of a vertex for the eye shift E; false when it cannot be projected.
  bool Project(const TMeshVertex& V, int32_t Eye, int32_t& SX, int32_t& SY) const;

  TBitmap* Left() const { return FLeft; }
  TBitmap* Right() const { return FRight; }

 private:
  TBitmap* FLeft;
  TBitmap* FRight;
};

// A one-pixel line from (X0, Y0) to (X1, Y1), clipped to the pf24bit bitmap.
void DrawMeshLine(TBitmap& B, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, uint32_t Colour);

// The text of an ".asc" file of one object (used for the sample meshes).
std::string WriteAscMesh(const std::string& Name, const TMeshObject& Object);
// Sample objects: a cube of edge Size and a sphere of radius Size with the given rings and segments.
TMeshObject MakeCubeMesh(double Size);
TMeshObject MakeSphereMesh(double Radius, int32_t Rings, int32_t Segments);
TMeshObject MakeConeMesh(double Radius, double Height, int32_t Segments);

}  // namespace kv
