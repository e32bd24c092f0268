// The stand-in drawn for an image that cannot be loaded: blurred noise with the
// resource's id and path written over it in light text.
#pragma once

#include <string>

#include "shell/pixels/PixelView.h"

// Fills a four-byte-pixel view: noise (bytes 0-2 in 0..254, alpha 255), blurred with
// radius 4, then the lines "id: <id>  " and "p: <path>  " (each five times) every 50
// rows. Deterministic for a given id and path. Text needs a font file; without one the
// noise stays bare.
void FillMissingImage(pf::PixelView& view, const std::wstring& id, const std::wstring& path);

// Writes text with its top-left at (x, y) in light pixels over the view (a pixel with
// coverage c gets bytes 0-2 = max(their value, c) where the text covers it); false when
// there is no usable font.
bool DrawLightText(pf::PixelView& view, int x, int y, const std::wstring& text);
