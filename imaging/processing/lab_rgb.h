// RGB, CIE XYZ and CIE L*a*b* for the program's colour models. RGB
// components are reals in 0..1 with a pure power-law gamma of 1 / 0.45; the
// primaries are those of ITU-R BT.709 and the reference white is
// (0.95, 1.0, 1.09).
#pragma once

namespace kv {

// Components at or below 0 count as 0.
void RGBToXYZ(double R, double G, double B, double& X, double& Y, double& Z);
// Negative results become 0; nothing limits them above.
void XYZToRGB(double X, double Y, double Z, double& R, double& G, double& B);
void RGBToLab(double R, double G, double B, double& L, double& A, double& BStar);
void LabToRGB(double L, double A, double BStar, double& R, double& G, double& B);

}  // namespace kv
