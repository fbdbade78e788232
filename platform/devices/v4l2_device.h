// The settings of a V4L2 camera that our own driver dialogs show: its pixel
// formats with their frame sizes and rates, and its controls (brightness,
// contrast, ...). Plain ioctls on the device node; the node may be open by a
// capture session at the same time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct TV4l2FrameSize {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<double> Rates;  // frames per second, as the driver lists them
};

struct TV4l2Format {
  uint32_t FourCC = 0;
  std::string Description;
  std::vector<TV4l2FrameSize> Sizes;
};

enum TV4l2ControlType : uint8_t { vctInteger, vctBoolean, vctMenu, vctButton, vctOther };

struct TV4l2Control {
  uint32_t Id = 0;
  std::string Name;
  TV4l2ControlType Type = vctInteger;
  int32_t Minimum = 0, Maximum = 0, Step = 1, Default = 0;
  int32_t Value = 0;
  bool ReadOnly = false;
  std::vector<std::pair<int32_t, std::string>> MenuItems;  // index, name
};

// False (Error set) when the node cannot be opened or is no camera.
bool QueryV4l2Formats(const std::string& Node, std::vector<TV4l2Format>& Formats, std::string* Error = nullptr);
bool QueryV4l2Controls(const std::string& Node, std::vector<TV4l2Control>& Controls, std::string* Error = nullptr);
// Sets one control; false with Error when the driver refuses it.
bool SetV4l2Control(const std::string& Node, uint32_t Id, int32_t Value, std::string* Error = nullptr);
std::string FourCCText(uint32_t FourCC);

}  // namespace kv
