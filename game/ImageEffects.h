// The image effects of the module `game`: each makes a processed copy of the picture an
// actor shows, in a new texture of the display, and gives it to the actor in place of the
// old one. Nothing happens when the actor has no surface, the new surface cannot be made
// or the picture cannot be read.
#pragma once

#include "shell/foundation/ValueTypes.h"

class Actor;
namespace pf {
class Display;
}

namespace game {

// A grey copy of the same size.
void Desaturate(pf::Display* display, Actor* actor);
// A copy reduced by the downscale (below 1 counts as 1) through the colour matrix (nine
// floats row by row; null: sepia).
void CreateSepia(pf::Display* display, Actor* actor, int downscale, const float* matrix);
// A reduced copy blurred with the radius (0..15; a larger one leaves it unblurred, a
// negative one counts as 0). The actor's animation is cleared first.
void CreateBlur(pf::Display* display, Actor* actor, int radius, int downscale);
// The blurred glow, in the colour, of the reduced picture's shape on a canvas larger by
// glowRadius + blurRadius + 1 on every side; the picture itself is not part of it.
// Negative radii count as 0.
void CreateOuterGlow(pf::Display* display, Actor* actor, int glowRadius, int blurRadius, const pf::Color& colour,
                     int downscale);

}  // namespace game
