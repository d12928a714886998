#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"
#include "engrave/prepared_job.h"

namespace stylor {

class ProgramSink;
struct StrokeFont;

/// Appends `value` with `decimals` places as a machine reads it; throws Error when it is not a
/// finite number below 1e9 in size, which no machine takes as a coordinate or feed.
void AppendMachineNumber(std::string& out, double value, int decimals);


/// How the moves end their lines: "\n" as program text is passed around, or CR LF as the file
/// gets them (ProgramSink::WriteBytes), which spares a second pass over the text.
enum class LineEnd { Lf, CrLf };

inline std::string_view LineEndText(LineEnd lineEnd) {
  return lineEnd == LineEnd::CrLf ? "\r\n" : "\n";
}

/// Throws Error when the job's values would divide by zero in the moves: a pen down level of 0
/// where it is the radius of a rotary surface, equal pen levels in inverse time feed, an engrave
/// feed of 0 in degrees per minute.
void CheckEmitterValues(const PreparedJob& job);

/// Appends to `out` the moves of `text` (line ends as `lineEnd` says): the opening rapid to
/// `start` at the pen up level, then every glyph's plunges and plane moves along the baseline
/// angle `angleRad`. Throws Error (and appends nothing) when a value cannot be written as a
/// machine number. Under a travel order the opening rapid goes straight to the first path, and
/// the paths are ordered from `orderFrom` (where the tool stands) when it is given, else from
/// `start`.
void AppendEngraveMoves(std::string& out, const PreparedJob& job, Point2 start, double angleRad,
                        std::string_view text, const StrokeFont& font,
                        LineEnd lineEnd = LineEnd::Lf,
                        std::optional<Point2> orderFrom = std::nullopt);

/// One text of a job and where it stands.
struct TextPlacement {
  Point2 start;
  double angleRad = 0;
  std::string_view text;
};

/// Appends the moves of several texts of one job. Under TravelOrder 3 (the whole job) the stroke
/// paths of all of them are put in one travel order, after one opening rapid to the first
/// text's start; otherwise each text is appended as AppendEngraveMoves does.
void AppendEngraveGroup(std::string& out, const PreparedJob& job,
                        std::span<const TextPlacement> texts, const StrokeFont& font);

class MoveWriter;

/// Appends the moves of strings of text engraved one after another, as AppendEngraveMoves does,
/// but reuses the moves of the characters a string shares at its start with the one before when
/// both start at the same point at the same angle: the numbers of a run differ in their last
/// digits only. Throws as AppendEngraveMoves (and appends nothing).
class SerialEngraver {
 public:
  /// Throws what CheckEmitterValues throws.
  SerialEngraver(const PreparedJob& job, const StrokeFont& font, LineEnd lineEnd = LineEnd::Lf);
  ~SerialEngraver();
  SerialEngraver(const SerialEngraver&) = delete;
  SerialEngraver& operator=(const SerialEngraver&) = delete;

  /// The moves of `text` (line ends as the constructor says), valid until the next call.
  /// `orderFrom` is used only under TravelOrder 2 and 3, as AppendEngraveMoves uses it.
  const std::string& Engrave(Point2 start, double angleRad, std::string_view text,
                             std::optional<Point2> orderFrom = std::nullopt);
  void Append(std::string& out, Point2 start, double angleRad, std::string_view text) {
    out += Engrave(start, angleRad, text);
  }

 private:
  const PreparedJob& m_job;
  const StrokeFont& m_font;
  LineEnd m_lineEnd;
  Point2 m_start;
  double m_angleRad = 0;
  std::string m_text;                // the last string engraved
  std::string m_moves;               // its moves
  std::vector<std::size_t> m_ends;   // [k]: where the moves of its first k characters end
  std::vector<MoveWriter> m_states;  // [k]: the writer after its first k characters
};

/// Appends to `out` the moves that cut `strokes` and make `dots` (points in the text plane,
/// machine lengths), in the words the text's moves use: for each stroke a rapid to its first
/// point, a plunge, feed moves along it and a lift; for each dot a rapid, a plunge, a dwell
/// (G04 P, seconds; none when 0) and a lift. Opens with a rapid at the pen up level, as a text
/// does. Throws as AppendEngraveMoves (and appends nothing).
void AppendCutMoves(std::string& out, const PreparedJob& job,
                    const std::vector<std::vector<Point2>>& strokes,
                    const std::vector<Point2>& dots, double dwellSeconds);

/// Writes the moves of one string of text to `sink` in one write.
void EngraveLine(ProgramSink& sink, const PreparedJob& job, Point2 start, double angleRad,
                 std::string_view text, const StrokeFont& font);

}  // namespace stylor
