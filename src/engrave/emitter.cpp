#include "engrave/emitter.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "engrave/program_store.h"
#include "engrave/stroke_font.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// No control takes a coordinate or feed this large; beyond it a number is a mistake in the
// settings (a height of 1e200, say), never something to send to a machine.
constexpr double kMaxMachineValue = 1e9;

void AppendWord(std::string& out, char letter, double value) {
  out += ' ';
  out += letter;
  AppendMachineNumber(out, value, 4);
}

void AppendG(std::string& out, int g) {
  // The font's moves are G00 and G01 but for damaged files; those two need no number formatting.
  if (g == 0 || g == 1) {
    out.append(g == 0 ? "G00" : "G01", 3);
    return;
  }
  out += 'G';
  if (g >= 0 && g < 10) out += '0';
  AppendInteger(out, g);
}

// A position as written with four decimals, and the form in which two positions are compared:
// "-0.0000" reads as "0.0000", so two positions are the same for the program exactly when their
// comparison texts are equal. Most texts fit a small array; the rare long one takes a string.
class PositionText {
 public:
  PositionText() = default;
  explicit PositionText(double value) { Set(value); }
  void Set(double value) {
    if (const char* end = WriteShortFixed4(m_short, value)) {
      m_length = static_cast<std::uint8_t>(end - m_short);
    } else {
      m_long.clear();
      AppendFixed(m_long, value, 4);
      m_length = kLong;
    }
    const std::string_view text = Written();
    m_negativeZero = text.size() == 7 && text == "-0.0000";
  }
  std::string_view Written() const {
    return m_length == kLong ? std::string_view(m_long) : std::string_view(m_short, m_length);
  }
  // Texts of a dozen characters: a plain loop beats a call to memcmp on the hottest path.
  bool SameAs(const PositionText& other) const {
    const std::string_view a = Compared(), b = other.Compared();
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }

 private:
  static constexpr std::uint8_t kLong = 255;
  std::string_view Compared() const { return Written().substr(m_negativeZero ? 1 : 0); }

  char m_short[kShortFixedRoom] = {};
  std::uint8_t m_length = 0;
  bool m_negativeZero = false;
  std::string m_long;
};

// Degrees above one turn come back into it by whole turns; at or below 360 (negative values
// included) they stay as they are.
double ReduceDegrees(double degrees) {
  if (degrees > 360.0 * 1e6) {  // subtracting 360 would take for ever or not change the value
    degrees = std::fmod(degrees, 360.0);
    if (degrees == 0) degrees = 360;
  }
  while (degrees > 360) degrees = degrees - 360;
  return degrees;
}

}  // namespace

// Writes the moves of one string of text. Its whole state is plain values, so that a copy taken
// after a character can carry on from there later (see SerialEngraver).
class MoveWriter {
 public:
  MoveWriter(std::string& out, const PreparedJob& job, Point2 start, double angleRad)
      : m_out(&out), m_job(&job), m_cos(std::cos(angleRad)), m_sin(std::sin(angleRad)),
        m_xScale(job.textHeight * job.widthRatio), m_yScale(job.textHeight),
        m_circumference(2 * job.penDown * kPi), m_plane(start), m_origin(start),
        m_texts{{PositionText(start.x), PositionText(start.y)}, {}}, m_plungeLevel(job.penUp),
        m_degreesAxis(job.g16AxisMarker) {}

  /// Carries on into another text (the state stays as it was).
  void SetOut(std::string& out) { m_out = &out; }
  std::string& Out() { return *m_out; }

  void OpeningMove() {
    Out() += "G00";
    AppendWord(Out(), m_job->axis1, OpeningValue(m_job->axis1, m_plane.x));
    AppendWord(Out(), m_job->axis2, OpeningValue(m_job->axis2, m_plane.y));
    AppendWord(Out(), m_job->plungeAxis, m_job->penUp);
    Out() += '\n';
  }

  void Glyph(const stylor::Glyph& glyph, double width) {
    for (int m = 0; m < glyph.moveCount; ++m) {
      const GlyphMove& move = glyph.moves[m];
      if (move.zDirection != 0) PlungeMove(move);
      else PlaneMove(move);
    }
    Advance(width);
  }

  void Advance(double width) {
    const double advance = (width + 0.35) * m_job->spacingRatio * m_xScale;
    m_origin.x = m_origin.x + advance * m_cos;
    m_origin.y = m_origin.y + advance * m_sin;
  }

 private:
  double OpeningValue(char letter, double start) const {
    if (IsRotaryLetter(letter) && m_job->mode->rotaryInDegrees) {
      return start / m_circumference * 360;
    }
    return start;
  }

  void PlungeMove(const GlyphMove& move) {
    const double level = move.zDirection < 0 ? m_job->penDown : m_job->penUp;
    const double travel = std::abs(level - m_plungeLevel);
    if (m_job->feedRate == FeedRate::InverseTime) {
      if (travel == 0) {
        throw Error("Inverse Time Feed cannot time a plunge move that does not move (a glyph of "
                    "the font plunges twice to the same level)");
      }
      m_feed = m_job->plungeFeed / travel;
    } else {
      m_feed = m_job->plungeFeed;
    }
    AppendG(Out(), move.g);
    AppendWord(Out(), m_job->plungeAxis, level);
    if (move.g != 0) {
      Out() += " F";
      AppendMachineNumber(Out(), m_feed, 2);
    }
    Out() += '\n';
    m_plungeLevel = level;
    Remember(m_feed);
  }

  void PlaneMove(const GlyphMove& move) {
    const double sx = move.x * m_xScale;
    const double sy = move.y * m_yScale;
    const double p1 = sx * m_cos - sy * m_sin + m_origin.x;
    const double p2 = sx * m_sin + sy * m_cos + m_origin.y;
    const double d1 = m_plane.x - p1;
    const double d2 = m_plane.y - p2;
    // The texts of the position before the move stay in place; the new ones take the other slot.
    const PositionText(&old)[2] = m_texts[m_current];
    PositionText(&now)[2] = m_texts[1 - m_current];
    now[0].Set(p1);
    now[1].Set(p2);
    m_current = 1 - m_current;
    const bool changes1 = !now[0].SameAs(old[0]);
    const bool changes2 = !now[1].SameAs(old[1]);
    const Point2 before = m_plane;
    m_plane = {p1, p2};

    double out1 = p1;
    double out2 = p2;
    if (m_job->mode->cylinderTurns) {
      // Whole turns of the cylinder come off the Axis 1 value; the count is taken from where the
      // tool stands before the move, so that a cut over the seam stays one continuous move.
      const double turns = std::trunc(before.x / m_circumference);
      if (turns > 0) out1 = p1 - turns * m_circumference;
    }
    if (!changes1 && !changes2) return;

    if (m_job->mode->rotaryInDegrees) {
      if (IsRotaryLetter(m_job->axis1)) {
        out1 = ReduceDegrees(out1 / m_circumference * 360);
        m_degreesAxis = 1;
      }
      if (IsRotaryLetter(m_job->axis2)) {
        out2 = ReduceDegrees(out2 / m_circumference * 360);
        m_degreesAxis = 2;
      }
    }

    const double distance = std::sqrt(d1 * d1 + d2 * d2);
    int g = move.g;
    if (g != 0) FeedForPlaneMove(d1, d2, distance, changes1, changes2);
    if (m_job->mode->planeRapidFeed != 0 && g == 0) {
      // No rapid in the plane: a positioning move becomes a slow feed move.
      m_feed = m_job->mode->planeRapidFeed;
      g = 1;
    }
    if (m_job->mode->directionCodes) {
      if (IsRotaryLetter(m_job->axis1) && changes1) m_direction = DirectionCode(p1, before.x);
      if (IsRotaryLetter(m_job->axis2) && changes2) m_direction = DirectionCode(p2, before.y);
    }

    AppendG(Out(), g);
    if (changes1) AppendPositionWord(m_job->axis1, out1, p1, now[0]);
    if (changes2) AppendPositionWord(m_job->axis2, out2, p2, now[1]);
    if (g != 0 && (!m_hasRememberedFeed || m_feed != m_rememberedFeed ||
                   m_job->feedRate == FeedRate::InverseTime)) {
      Out() += " F";
      AppendMachineNumber(Out(), m_feed, 2);
    }
    if (m_job->mode->directionCodes && m_direction != m_lastDirection) {
      Out() += " M";
      AppendInteger(Out(), m_direction);
    }
    Out() += '\n';
    Remember(m_feed);
    m_lastDirection = m_direction;
  }

  // Most written values are the new position itself, already formatted for the comparison. The
  // bits decide, not ==: a rotary value of -0 degrees equals a position of +0, yet it is written
  // "-0.0000".
  void AppendPositionWord(char letter, double value, double position, const PositionText& text) {
    if (std::bit_cast<std::uint64_t>(value) != std::bit_cast<std::uint64_t>(position) ||
        !(std::abs(value) < kMaxMachineValue)) {
      AppendWord(Out(), letter, value);
      return;
    }
    Out() += ' ';
    Out() += letter;
    Out() += text.Written();
  }

  void FeedForPlaneMove(double d1, double d2, double distance, bool changes1, bool changes2) {
    if (m_job->feedRate == FeedRate::InverseTime) {
      m_feed = m_job->engraveFeed / distance;
      return;
    }
    m_feed = m_job->engraveFeed;
    if (m_job->feedRate != FeedRate::DegreesPerMinute || !m_job->mode->feedInDegrees) return;
    // The rotary axis turns |d| / circumference x 360 degrees in distance / feed minutes.
    if (m_degreesAxis == 1 && changes1) {
      m_feed = (std::abs(d1) / m_circumference * 360) / (distance / m_job->engraveFeed);
    } else if (m_degreesAxis == 2 && changes2) {
      m_feed = (std::abs(d2) / m_circumference * 360) / (distance / m_job->engraveFeed);
    }
  }

  void Remember(double feed) {
    m_rememberedFeed = feed;
    m_hasRememberedFeed = true;
  }

  int DirectionCode(double to, double from) const {
    if (to > from) return 15;
    if (to < from) return 16;
    return m_direction;
  }

  std::string* m_out;
  const PreparedJob* m_job;
  double m_cos;
  double m_sin;
  double m_xScale;
  double m_yScale;
  double m_circumference;
  Point2 m_plane;
  Point2 m_origin;
  PositionText m_texts[2][2];  // [slot][axis]: the current plane position's texts, and a spare
  int m_current = 0;
  double m_plungeLevel;
  double m_feed = 0;
  bool m_hasRememberedFeed = false;  // before the first move no feed equals the remembered one
  double m_rememberedFeed = 0;
  int m_degreesAxis;
  int m_direction = 0;
  int m_lastDirection = 0;
};


namespace {

// Codes the font has no glyph for engrave nothing and advance like an empty glyph.
void WriteCharacter(MoveWriter& writer, char c, const StrokeFont& font) {
  const stylor::Glyph* glyph = GlyphOf(font, c);
  if (glyph != nullptr) writer.Glyph(*glyph, GlyphWidth(font, c));
  else writer.Advance(0);
}

}  // namespace

void AppendMachineNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value) || std::abs(value) >= kMaxMachineValue) {
    throw Error("Cannot write the value " + FormatGeneral(value) +
                " into the program: it is out of range for a machine (check the text height, "
                "ratios, start values and feeds)");
  }
  AppendFixed(out, value, decimals);
}

void CheckEmitterValues(const PreparedJob& job) {
  const bool rotary = IsRotaryLetter(job.axis1) || IsRotaryLetter(job.axis2);
  const bool usesCylinder = (rotary && job.mode->rotaryInDegrees) || job.mode->cylinderTurns;
  if (job.penDown == 0 && usesCylinder) {
    throw Error("The pen down level must not be 0 with a rotary axis or in the Mazak G16 mode: "
                "it is the radius of the engraved cylinder");
  }
  if (job.feedRate == FeedRate::InverseTime && job.penUp == job.penDown) {
    throw Error("Inverse Time Feed needs different pen up and pen down levels: a plunge that "
                "does not move cannot be timed");
  }
  if (job.feedRate == FeedRate::DegreesPerMinute && job.engraveFeed == 0) {
    throw Error("Degrees Per Min needs an engrave feed other than 0");
  }
}

void AppendEngraveMoves(std::string& out, const PreparedJob& job, Point2 start, double angleRad,
                        std::string_view text, const StrokeFont& font) {
  CheckEmitterValues(job);
  const std::size_t keep = out.size();
  try {
    MoveWriter writer(out, job, start, angleRad);
    writer.OpeningMove();
    for (char c : text) WriteCharacter(writer, c, font);
  } catch (...) {
    out.resize(keep);
    throw;
  }
}

SerialEngraver::SerialEngraver(const PreparedJob& job, const StrokeFont& font)
    : m_job(job), m_font(font) {
  CheckEmitterValues(job);
}

SerialEngraver::~SerialEngraver() = default;

const std::string& SerialEngraver::Engrave(Point2 start, double angleRad,
                                           std::string_view text) {
  const bool samePlace = !m_states.empty() &&
                         std::bit_cast<std::uint64_t>(start.x) == std::bit_cast<std::uint64_t>(m_start.x) &&
                         std::bit_cast<std::uint64_t>(start.y) == std::bit_cast<std::uint64_t>(m_start.y) &&
                         std::bit_cast<std::uint64_t>(angleRad) == std::bit_cast<std::uint64_t>(m_angleRad);
  std::size_t kept = 0;
  if (samePlace) {
    while (kept < text.size() && kept < m_text.size() && text[kept] == m_text[kept]) ++kept;
  }
  try {
    if (!samePlace) {
      m_moves.clear();
      m_states.clear();
      m_ends.clear();
      MoveWriter writer(m_moves, m_job, start, angleRad);
      writer.OpeningMove();
      m_states.push_back(writer);
      m_ends.push_back(m_moves.size());
      m_start = start;
      m_angleRad = angleRad;
    }
    m_moves.resize(m_ends[kept]);
    m_ends.resize(kept + 1);
    m_states.erase(m_states.begin() + static_cast<std::ptrdiff_t>(kept) + 1, m_states.end());
    MoveWriter writer = m_states[kept];
    writer.SetOut(m_moves);
    for (std::size_t k = kept; k < text.size(); ++k) {
      WriteCharacter(writer, text[k], m_font);
      m_states.push_back(writer);
      m_ends.push_back(m_moves.size());
    }
    m_text.assign(text);
  } catch (...) {
    m_states.clear();  // the next text starts afresh
    throw;
  }
  return m_moves;
}

void EngraveLine(ProgramSink& sink, const PreparedJob& job, Point2 start, double angleRad,
                 std::string_view text, const StrokeFont& font) {
  std::string moves;
  moves.reserve(64 + text.size() * 400);
  AppendEngraveMoves(moves, job, start, angleRad, text, font);
  sink.Write(moves);
}

}  // namespace stylor
