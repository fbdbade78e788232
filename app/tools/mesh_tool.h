// 3-D meshes in the program: the matrix as line parameters, the MESH line,
// and the sample meshes of the demo, made here rather than shipped.
#pragma once
#include <string>

namespace kv {

class tobjects3d;
class TCommandRun;
class Tform1;

// The matrix becomes the identity, then each element is read from "m" + row + column.
void ReadMeshMatrix(tobjects3d& Mesh, const std::string& Params);
// The sixteen elements with 8 decimals, columns outer and rows inner (m00, m10, ... m33).
std::string WriteMeshMatrix(const tobjects3d& Mesh);

void RunMesh(TCommandRun& Run);
void RunShowMeshDemo(TCommandRun& Run);

// The folder of the sample meshes (the program folder's "Images/", where the
// window's stored mesh "Images/cone.asc" points), each written first when missing.
std::string SampleMeshFolder();
// Writes those of "cone.asc", "cube.asc", "sphere.asc" and "lamp.asc" that
// are missing into Folder (made when missing).
void WriteSampleMeshes(const std::string& Folder);

}  // namespace kv
