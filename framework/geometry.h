#pragma once
// Plain geometry in the platform's conventions: a rectangle's right and
// bottom edges are exclusive.
namespace fw {

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// x, y, width and height: dialog templates use this form.
struct Rect {
  int x = 0, y = 0, cx = 0, cy = 0;
  bool operator==(const Rect&) const = default;
};

// Edges: what window and drawing calls use.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool operator==(const Box&) const = default;
};

}  // namespace fw
