// Where a knob draws its pointer bar and its move arc. Portable.
#pragma once

struct KnobPoint {
  int x, y;
};

// The four corners of the pointer bar at angle `angle` (radians, 0 right,
// counter-clockwise) from centre (cx, cy): length `length`, width `width`;
// an outer tick covers only 0.7 … 1.0 of the length. Rounded to the nearest
// pixel.
void KnobPointerPolygon(int cx, int cy, float angle, int length, int width, bool outer_tick,
                        KnobPoint out[4]);

// The end of a radius of `radius` pixels at `angle`, rounded to the nearest
// pixel with exact halves downward.
KnobPoint KnobRadiusEnd(int cx, int cy, float radius, float angle);

// The clockwise distance from the start angle to `angle`, in [0, 2π).
float KnobSweepDistance(float start, float angle);
