#include "imaging/processing/lab_rgb.h"

#include <cmath>

namespace kv {

namespace {

constexpr double kXn = 0.95, kYn = 1.0, kZn = 1.09;
constexpr double kGamma = 1 / 0.45;

using TMatrix = double[3][3];

// Inverse by cofactors over the determinant.
void Invert(const TMatrix& M, TMatrix& Out) {
  const double c00 = M[1][1] * M[2][2] - M[1][2] * M[2][1];
  const double c01 = M[1][2] * M[2][0] - M[1][0] * M[2][2];
  const double c02 = M[1][0] * M[2][1] - M[1][1] * M[2][0];
  const double det = M[0][0] * c00 + M[0][1] * c01 + M[0][2] * c02;
  Out[0][0] = c00 / det;
  Out[1][0] = c01 / det;
  Out[2][0] = c02 / det;
  Out[0][1] = (M[0][2] * M[2][1] - M[0][1] * M[2][2]) / det;
  Out[1][1] = (M[0][0] * M[2][2] - M[0][2] * M[2][0]) / det;
  Out[2][1] = (M[0][1] * M[2][0] - M[0][0] * M[2][1]) / det;
  Out[0][2] = (M[0][1] * M[1][2] - M[0][2] * M[1][1]) / det;
  Out[1][2] = (M[0][2] * M[1][0] - M[0][0] * M[1][2]) / det;
  Out[2][2] = (M[0][0] * M[1][1] - M[0][1] * M[1][0]) / det;
}

struct TMatrices {
  TMatrix ToXYZ;
  TMatrix ToRGB;
  TMatrices() {
    // Columns: the primaries' (x, y, 1 - x - y), red, green, blue.
    const double xs[3] = {0.64, 0.30, 0.15}, ys[3] = {0.33, 0.60, 0.06};
    TMatrix p, pInv;
    for (int j = 0; j < 3; ++j) {
      p[0][j] = xs[j];
      p[1][j] = ys[j];
      p[2][j] = 1 - xs[j] - ys[j];
    }
    Invert(p, pInv);
    // Each primary scaled so that the three together give the white.
    const double white[3] = {kXn, kYn, kZn};
    for (int j = 0; j < 3; ++j) {
      const double s = pInv[j][0] * white[0] + pInv[j][1] * white[1] + pInv[j][2] * white[2];
      for (int i = 0; i < 3; ++i) ToXYZ[i][j] = p[i][j] * s;
    }
    Invert(ToXYZ, ToRGB);
  }
};

const TMatrices& Matrices() {
  static const TMatrices m;
  return m;
}

void Multiply(const TMatrix& M, double A, double B, double C, double& X, double& Y, double& Z) {
  X = M[0][0] * A + M[0][1] * B + M[0][2] * C;
  Y = M[1][0] * A + M[1][1] * B + M[1][2] * C;
  Z = M[2][0] * A + M[2][1] * B + M[2][2] * C;
}

double LabF(double T) { return T < 0.008856451679 ? 7.787037037 * T + 16.0 / 116 : std::cbrt(T); }
double LabG(double T) { return T < 6.0 / 29 ? (T - 4.0 / 29) * 0.1284185493 : T * T * T; }
double Expand(double C) { return C > 0 ? std::pow(C, kGamma) : 0; }
double Compress(double C) { return C > 0 ? std::pow(C, 1 / kGamma) : 0; }

}  // namespace

void RGBToXYZ(double R, double G, double B, double& X, double& Y, double& Z) {
  Multiply(Matrices().ToXYZ, Expand(R), Expand(G), Expand(B), X, Y, Z);
}

void XYZToRGB(double X, double Y, double Z, double& R, double& G, double& B) {
  Multiply(Matrices().ToRGB, X, Y, Z, R, G, B);
  R = Compress(R);
  G = Compress(G);
  B = Compress(B);
}

void RGBToLab(double R, double G, double B, double& L, double& A, double& BStar) {
  double x, y, z;
  RGBToXYZ(R, G, B, x, y, z);
  const double fx = LabF(x / kXn), fy = LabF(y / kYn), fz = LabF(z / kZn);
  L = 116 * fy - 16;
  A = 500 * (fx - fy);
  BStar = 200 * (fy - fz);
}

void LabToRGB(double L, double A, double BStar, double& R, double& G, double& B) {
  const double fy = (L + 16) / 116;
  XYZToRGB(LabG(fy + A / 500) * kXn, LabG(fy) * kYn, LabG(fy - BStar / 200) * kZn, R, G, B);
}

}  // namespace kv
