#pragma once

#include <string>
#include <string_view>

#include "engrave/fonts/stroke_font.h"

namespace stylor {

/// Reads the bytes of a CXF single-line font into `font`, as the LFF reader does (lines "L" and
/// arcs "A" / "AR" in place of polylines and references).
void ParseCxfFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report);

}  // namespace stylor
