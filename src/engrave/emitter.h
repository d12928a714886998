#pragma once

#include <string>
#include <string_view>

#include "engrave/geometry.h"
#include "engrave/prepared_job.h"

namespace stylor {

class ProgramSink;
struct StrokeFont;

/// Appends `value` with `decimals` places as a machine reads it; throws Error when it is not a
/// finite number below 1e9 in size, which no machine takes as a coordinate or feed.
void AppendMachineNumber(std::string& out, double value, int decimals);

/// Throws Error when the job's values would divide by zero in the moves: a pen down level of 0
/// where it is the radius of a rotary surface, equal pen levels in inverse time feed, an engrave
/// feed of 0 in degrees per minute.
void CheckEmitterValues(const PreparedJob& job);

/// Appends to `out` the moves of `text` ("\n" line ends): the opening rapid to `start` at the pen
/// up level, then every glyph's plunges and plane moves along the baseline angle `angleRad`.
/// Throws Error (and appends nothing) when a value cannot be written as a machine number.
void AppendEngraveMoves(std::string& out, const PreparedJob& job, Point2 start, double angleRad,
                        std::string_view text, const StrokeFont& font);

/// Writes the moves of one string of text to `sink` in one write.
void EngraveLine(ProgramSink& sink, const PreparedJob& job, Point2 start, double angleRad,
                 std::string_view text, const StrokeFont& font);

}  // namespace stylor
