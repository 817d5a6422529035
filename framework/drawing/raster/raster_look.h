#pragma once
// Fixed system colours and metrics for the software raster: the classic
// 3-D scheme (button face 212,208,200; shadow 128,128,128; dark shadow
// 64,64,64; highlight white; 3-D light as the face), edges of 2 pixels, a
// 16-pixel scroll thumb and 32-pixel icons. Unknown indexes give 0.
#include "framework/drawing/dc.h"

namespace fw {

inline constexpr Colour kClassicBtnFace = Rgb(212, 208, 200);
inline constexpr Colour kClassicBtnShadow = Rgb(128, 128, 128);
inline constexpr Colour kClassicBtnHighlight = Rgb(255, 255, 255);
inline constexpr Colour kClassic3dDkShadow = Rgb(64, 64, 64);
inline constexpr Colour kClassic3dLight = Rgb(212, 208, 200);

class RasterLook final : public ISystemLook {
 public:
  Colour GetSysColor(int index) const override;
  int GetSystemMetrics(int index) const override;
};

}  // namespace fw
