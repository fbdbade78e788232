#include "imaging/processing/mesh3d.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

bool Begins(const std::string& Line, const std::string& Prefix) { return Line.compare(0, Prefix.size(), Prefix) == 0; }

// The text after Key's first occurrence, trimmed, up to the next blank.
std::string TokenAfter(const std::string& Line, const std::string& Key) {
  const size_t at = Line.find(Key);
  if (at == std::string::npos) return {};
  std::string rest = Trim(Line.substr(at + Key.size()));
  const size_t blank = rest.find_first_of(" \t");
  return blank == std::string::npos ? rest : rest.substr(0, blank);
}

double NumberAfter(const std::string& Line, const std::string& Key) {
  const std::string t = TokenAfter(Line, Key);
  double v = 0;
  if (!TryStrToFloat(t, v) || !std::isfinite(v))
    throw EMeshError("Die Mesh-Datei hat keine Zahl nach \"" + Key + "\" in der Zeile \"" + Line + "\"");
  return v;
}

int32_t IntegerAfter(const std::string& Line, const std::string& Key) {
  const std::string t = TokenAfter(Line, Key);
  int32_t v = 0;
  if (!TryStrToInt(t, v))
    throw EMeshError("Die Mesh-Datei hat keine ganze Zahl nach \"" + Key + "\" in der Zeile \"" + Line + "\"");
  return v;
}

// Counts announced by a file are believed only up to this size.
constexpr int32_t kMaxMeshItems = 1 << 22;

}  // namespace

TMatrix4 IdentityMatrix() {
  TMatrix4 m{};
  for (int i = 0; i < 4; ++i) m[size_t(i)][size_t(i)] = 1;
  return m;
}

tobjects3d::tobjects3d(TBitmap* ALeft, TBitmap* ARight) : FLeft(ALeft), FRight(ARight) {}

void tobjects3d::LoadAscMesh(const std::string& FileName) {
  if (!FileExists(FileName)) throw EMeshError("Die Mesh-Datei \"" + FileName + "\" existiert nicht");
  std::ifstream f(FileName, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  if (!f && !f.eof()) throw EMeshError("Die Mesh-Datei \"" + FileName + "\" kann nicht gelesen werden");
  LoadAscText(s.str());
}

void tobjects3d::LoadAscText(const std::string& Text) {
  std::vector<std::string> lines;
  {
    std::string line;
    std::istringstream in(Text);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  std::vector<TMeshObject> objects;
  bool first = true;
  double minX = 0, minY = 0, minZ = 0, maxX = 0, maxY = 0, maxZ = 0;
  size_t i = 0;
  auto seek = [&](const std::string& Prefix, const char* What) -> const std::string& {
    while (i < lines.size() && !Begins(lines[i], Prefix)) ++i;
    if (i >= lines.size()) throw EMeshError(std::string("Die Mesh-Datei endet, bevor alle ") + What + " aufgeführt sind");
    return lines[i++];
  };
  while (i < lines.size()) {
    if (!Begins(lines[i], "Named object")) {
      ++i;
      continue;
    }
    objects.emplace_back();
    ++i;
    if (i >= lines.size() || !Begins(lines[i], "Tri-mesh")) continue;
    const std::string& header = lines[i++];
    const int32_t vertices = IntegerAfter(header, "Vertices: ");
    const int32_t faces = IntegerAfter(header, "Faces: ");
    if (vertices < 0 || faces < 0 || vertices > kMaxMeshItems || faces > kMaxMeshItems)
      throw EMeshError("Die Mesh-Datei nennt " + IntToStr(vertices) + " Eckpunkte und " + IntToStr(faces) + " Flächen");
    TMeshObject& o = objects.back();
    o.Vertices.resize(size_t(vertices));
    o.Faces.resize(size_t(faces));
    for (int32_t n = 0; n < vertices; ++n) {
      const std::string& l = seek("Vertex " + IntToStr(n) + ":", "Eckpunkte");
      const double X = NumberAfter(l, "X:"), Y = NumberAfter(l, "Y:"), Z = NumberAfter(l, "Z:");
      // The file's Z points up and its Y into the picture.
      const TMeshVertex v{X, -Z, Y};
      o.Vertices[size_t(n)] = v;
      if (first) {
        minX = maxX = v.X;
        minY = maxY = v.Y;
        minZ = maxZ = v.Z;
        first = false;
      }
      minX = std::min(minX, v.X), maxX = std::max(maxX, v.X);
      minY = std::min(minY, v.Y), maxY = std::max(maxY, v.Y);
      minZ = std::min(minZ, v.Z), maxZ = std::max(maxZ, v.Z);
    }
    for (int32_t n = 0; n < faces; ++n) {
      const std::string& l = seek("Face " + IntToStr(n) + ":", "Flächen");
      TMeshFace f;
      f.A = IntegerAfter(l, "A:");
      f.B = IntegerAfter(l, "B:");
      f.C = IntegerAfter(l, "C:");
      for (int32_t index : {f.A, f.B, f.C})
        if (index < 0 || index >= vertices)
          throw EMeshError("Fläche " + IntToStr(n) + " der Mesh-Datei nennt den Eckpunkt " + IntToStr(index) +
                           ", den es nicht gibt");
      f.AB = TokenAfter(l, "AB:") == "1";
      f.BC = TokenAfter(l, "BC:") == "1";
      f.CA = TokenAfter(l, "CA:") == "1";
      o.Faces[size_t(n)] = f;
    }
  }
  bool anyFace = false;
  for (const TMeshObject& o : objects) anyFace = anyFace || !o.Faces.empty();
  if (!anyFace) throw EMeshError("Die Mesh-Datei enthält keine Flächen");

  const double cx = (maxX + minX) / 2, cy = (maxY + minY) / 2, cz = (maxZ + minZ) / 2;
  for (TMeshObject& o : objects)
    for (TMeshVertex& v : o.Vertices) {
      v.X -= cx;
      v.Y -= cy;
      v.Z -= cz;
    }
  Objects = std::move(objects);
  MinX = minX, MinY = minY, MinZ = minZ, MaxX = maxX, MaxY = maxY, MaxZ = maxZ;
  ResetPosition();
}

void tobjects3d::ResetPosition() {
  TranslateX = 0;
  TranslateY = 0;
  const double e = std::max(MaxY - MinY, MaxX - MinX);
  const double m = FLeft ? std::min(FLeft->Width(), FLeft->Height()) : 0;
  const double D = Monitorz;
  TranslateZ = m > 0 ? D - D * e / (0.8 * m) - MaxZ : -MaxZ;
  PlacedX = TranslateX;
  PlacedY = TranslateY;
  PlacedZ = TranslateZ;
  Scale = 1.0;
  RotateX = RotateY = RotateZ = 0;
}

void tobjects3d::BuildMatrix() {
  auto mul = [](const TMatrix4& A, const TMatrix4& B) {
    TMatrix4 r{};
    for (size_t i = 0; i < 4; ++i)
      for (size_t j = 0; j < 4; ++j)
        for (size_t k = 0; k < 4; ++k) r[i][j] += A[i][k] * B[k][j];
    return r;
  };
  TMatrix4 t = IdentityMatrix();
  t[0][3] = TranslateX;
  t[1][3] = TranslateY;
  t[2][3] = TranslateZ;
  TMatrix4 s = IdentityMatrix();
  s[0][0] = s[1][1] = s[2][2] = Scale;
  const double rad = M_PI / 180;
  TMatrix4 rx = IdentityMatrix(), ry = IdentityMatrix(), rz = IdentityMatrix();
  double c = std::cos(RotateX * rad), sn = std::sin(RotateX * rad);
  rx[1][1] = c, rx[1][2] = -sn, rx[2][1] = sn, rx[2][2] = c;
  c = std::cos(RotateY * rad), sn = std::sin(RotateY * rad);
  ry[0][0] = c, ry[0][2] = -sn, ry[2][0] = sn, ry[2][2] = c;
  c = std::cos(RotateZ * rad), sn = std::sin(RotateZ * rad);
  rz[0][0] = c, rz[0][1] = -sn, rz[1][0] = sn, rz[1][1] = c;
  Matrix = mul(mul(mul(mul(t, s), rx), ry), rz);
}

bool tobjects3d::Project(const TMeshVertex& V, int32_t Eye, int32_t& SX, int32_t& SY) const {
  if (!FLeft) return false;
  const auto& m = Matrix;
  const double X = m[0][0] * V.X + m[0][1] * V.Y + m[0][2] * V.Z + m[0][3];
  const double Y = m[1][0] * V.X + m[1][1] * V.Y + m[1][2] * V.Z + m[1][3];
  const double depth = m[2][0] * V.X + m[2][1] * V.Y + m[2][2] * V.Z + m[2][3];
  const double D = Monitorz;
  const double d = D - depth;
  if (std::fabs(d) < 1e-6) return false;
  const double px = (D * X - depth * Eye) / d, py = D * Y / d;
  // Far outside any bitmap: not drawn rather than overflowing.
  if (!(std::fabs(px) < 1e7 && std::fabs(py) < 1e7)) return false;
  SX = FLeft->Width() / 2 + Round32(px);
  SY = FLeft->Height() / 2 + Round32(py);
  return true;
}

void tobjects3d::DrawEye(int32_t Object, int32_t Eye) {
  if (Object < 0 || Object >= int32_t(Objects.size())) return;
  TBitmap* target = Eye == 0 ? FLeft : FRight;
  if (!target || target->PixelFormat() != pf24bit) return;
  const int32_t shift = Eye == 0 ? -EyeOffset : EyeOffset;
  const TMeshObject& o = Objects[size_t(Object)];
  for (const TMeshFace& f : o.Faces) {
    int32_t ax, ay, bx, by, cx, cy;
    const bool a = Project(o.Vertices[size_t(f.A)], shift, ax, ay);
    const bool b = Project(o.Vertices[size_t(f.B)], shift, bx, by);
    const bool c = Project(o.Vertices[size_t(f.C)], shift, cx, cy);
    // An edge with an end that cannot be projected is left out.
    if (f.AB && a && b) DrawMeshLine(*target, ax, ay, bx, by, PenColour);
    if (f.BC && b && c) DrawMeshLine(*target, bx, by, cx, cy, PenColour);
    if (f.CA && c && a) DrawMeshLine(*target, cx, cy, ax, ay, PenColour);
  }
}

void DrawMeshLine(TBitmap& B, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, uint32_t Colour) {
  if (B.PixelFormat() != pf24bit) return;
  const TBGRPixel p{uint8_t(Colour >> 16), uint8_t(Colour >> 8), uint8_t(Colour)};
  int64_t x = X0, y = Y0;
  const int64_t dx = std::llabs(int64_t(X1) - X0), dy = -std::llabs(int64_t(Y1) - Y0);
  const int64_t sx = X0 < X1 ? 1 : -1, sy = Y0 < Y1 ? 1 : -1;
  int64_t err = dx + dy;
  const int32_t w = B.Width(), h = B.Height();
  for (;;) {
    if (x >= 0 && y >= 0 && x < w && y < h) static_cast<TBGRPixel*>(B.ScanLine(int32_t(y)))[x] = p;
    if (x == X1 && y == Y1) break;
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

std::string WriteAscMesh(const std::string& Name, const TMeshObject& Object) {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(6);
  s << "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\r\n";
  s << "Named object: \"" << Name << "\"\r\n";
  s << "Tri-mesh, Vertices: " << Object.Vertices.size() << "     Faces: " << Object.Faces.size() << "\r\n";
  s << "Vertex list:\r\n";
  for (size_t i = 0; i < Object.Vertices.size(); ++i) {
    // Stored as x, -z, y: the file's Z points up.
    const TMeshVertex& v = Object.Vertices[i];
    s << "Vertex " << i << ":  X:" << v.X << "     Y:" << v.Z << "     Z:" << -v.Y << "\r\n";
  }
  s << "Face list:\r\n";
  for (size_t i = 0; i < Object.Faces.size(); ++i) {
    const TMeshFace& f = Object.Faces[i];
    s << "Face " << i << ":    A:" << f.A << " B:" << f.B << " C:" << f.C << " AB:" << int(f.AB) << " BC:" << int(f.BC)
      << " CA:" << int(f.CA) << "\r\n";
    s << "Smoothing:  1\r\n";
  }
  return s.str();
}

TMeshObject MakeCubeMesh(double Size) {
  TMeshObject o;
  const double h = Size / 2;
  for (int i = 0; i < 8; ++i) o.Vertices.push_back({i & 1 ? h : -h, i & 2 ? h : -h, i & 4 ? h : -h});
  // Two triangles per side; the diagonal AC is not drawn, so each side shows as a square.
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  for (const auto& q : quads) {
    o.Faces.push_back({q[0], q[1], q[2], true, true, false});
    o.Faces.push_back({q[0], q[2], q[3], false, true, true});
  }
  return o;
}

TMeshObject MakeSphereMesh(double Radius, int32_t Rings, int32_t Segments) {
  TMeshObject o;
  Rings = std::max(Rings, 2);
  Segments = std::max(Segments, 3);
  // Poles, then the rings between them.
  o.Vertices.push_back({0, -Radius, 0});
  for (int32_t r = 1; r < Rings; ++r) {
    const double phi = M_PI * r / Rings;
    for (int32_t s = 0; s < Segments; ++s) {
      const double th = 2 * M_PI * s / Segments;
      o.Vertices.push_back({Radius * std::sin(phi) * std::cos(th), -Radius * std::cos(phi),
                            Radius * std::sin(phi) * std::sin(th)});
    }
  }
  o.Vertices.push_back({0, Radius, 0});
  const int32_t last = int32_t(o.Vertices.size()) - 1;
  auto at = [&](int32_t r, int32_t s) { return 1 + (r - 1) * Segments + (s % Segments); };
  for (int32_t s = 0; s < Segments; ++s) o.Faces.push_back({0, at(1, s + 1), at(1, s), true, true, true});
  for (int32_t r = 1; r < Rings - 1; ++r)
    for (int32_t s = 0; s < Segments; ++s) {
      o.Faces.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1), true, true, false});
      o.Faces.push_back({at(r, s), at(r + 1, s + 1), at(r + 1, s), false, true, true});
    }
  for (int32_t s = 0; s < Segments; ++s) o.Faces.push_back({last, at(Rings - 1, s), at(Rings - 1, s + 1), true, true, true});
  return o;
}

TMeshObject MakeConeMesh(double Radius, double Height, int32_t Segments) {
  TMeshObject o;
  Segments = std::max(Segments, 3);
  o.Vertices.push_back({0, -Height / 2, 0});  // the tip, up on the screen
  for (int32_t s = 0; s < Segments; ++s) {
    const double th = 2 * M_PI * s / Segments;
    o.Vertices.push_back({Radius * std::cos(th), Height / 2, Radius * std::sin(th)});
  }
  o.Vertices.push_back({0, Height / 2, 0});
  const int32_t centre = int32_t(o.Vertices.size()) - 1;
  for (int32_t s = 0; s < Segments; ++s) {
    const int32_t a = 1 + s, b = 1 + (s + 1) % Segments;
    o.Faces.push_back({0, a, b, true, true, true});
    o.Faces.push_back({centre, b, a, false, false, false});
  }
  return o;
}

}  // namespace kv
