#include "framework/drawing/raster/raster_look.h"

namespace fw {

Colour RasterLook::GetSysColor(int index) const {
  switch (index) {
    case kColorWindow: return Rgb(255, 255, 255);
    case kColorWindowText: return Rgb(0, 0, 0);
    case kColorBtnFace: return kClassicBtnFace;
    case kColorBtnShadow: return kClassicBtnShadow;
    case kColorGrayText: return Rgb(128, 128, 128);
    case kColorBtnText: return Rgb(0, 0, 0);
    case kColorBtnHighlight: return kClassicBtnHighlight;
    case kColor3dDkShadow: return kClassic3dDkShadow;
    case kColor3dLight: return kClassic3dLight;
    default: return 0;
  }
}

int RasterLook::GetSystemMetrics(int index) const {
  switch (index) {
    case kSmCxEdge:
    case kSmCyEdge: return 2;
    case kSmCxHThumb: return 16;
    case kSmCxIcon:
    case kSmCyIcon: return 32;
    default: return 0;
  }
}

}  // namespace fw
