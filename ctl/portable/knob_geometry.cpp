// Knob drawing geometry: see knob_geometry.h.
#include "ctl/portable/knob_geometry.h"

#include <cmath>

#include "ctl/portable/value_range.h"

static int Nearest(double v) { return static_cast<int>(std::floor(v + 0.5)); }
static int NearestHalfDown(double v) { return static_cast<int>(std::ceil(v - 0.5)); }

void KnobPointerPolygon(int cx, int cy, float angle, int length, int width, bool outer_tick,
                        KnobPoint out[4]) {
  const double dx = std::cos(angle), dy = -std::sin(angle);  // screen y grows downward
  const double near = outer_tick ? 0.7 * length : 0.0;
  const double far = length;
  const double half = width / 2.0;
  const double nx = -dy * half, ny = dx * half;  // perpendicular, half the width
  const double x0 = cx + dx * near, y0 = cy + dy * near;
  const double x1 = cx + dx * far, y1 = cy + dy * far;
  out[0] = {Nearest(x0 + nx), Nearest(y0 + ny)};
  out[1] = {Nearest(x1 + nx), Nearest(y1 + ny)};
  out[2] = {Nearest(x1 - nx), Nearest(y1 - ny)};
  out[3] = {Nearest(x0 - nx), Nearest(y0 - ny)};
}

KnobPoint KnobRadiusEnd(int cx, int cy, float radius, float angle) {
  return {NearestHalfDown(cx + radius * std::cos(angle)),
          NearestHalfDown(cy - radius * std::sin(angle))};
}

float KnobSweepDistance(float start, float angle) {
  float d = start - angle;
  if (d < 0.0f) d += kTwoPi;
  return d;
}
