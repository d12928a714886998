#include "engrave/emitter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "engrave/fonts/stroke_font.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// No control takes a coordinate or feed this large; beyond it a number is a mistake in the
// settings (a height of 1e200, say), never something to send to a machine.
constexpr double kMaxMachineValue = 1e9;

// A plane position as the program shows it: rounded to four decimals, where "-0.0000" reads as
// "0.0000". A move writes the words of the axes whose shown position changes. Values are
// compared as whole ten-thousandths, rounded as the written text rounds them; a value too large
// for that is compared by its text.
class ShownPosition {
 public:
  ShownPosition() = default;
  explicit ShownPosition(double value) : m_value(value) {
    const std::optional<std::uint32_t> units = RoundedUnits<4>(value);
    if (!units) return;
    m_units = *units;
    m_negative = std::signbit(value);
    m_byNumber = true;
  }
  bool SameAs(const ShownPosition& other) const {
    if (m_byNumber && other.m_byNumber) {
      return m_units == other.m_units && (m_units == 0 || m_negative == other.m_negative);
    }
    return Compared(m_value) == Compared(other.m_value);
  }
  double Value() const { return m_value; }
  bool ByNumber() const { return m_byNumber; }

  /// Writes the value from its units, as WriteShortFixed4 writes it; only when ByNumber().
  char* Put(char* out) const {
    if (m_negative) *out++ = '-';
    std::uint32_t whole = m_units / 10000;
    const std::uint32_t fraction = m_units % 10000;
    // Positions on a part are mostly below 1000.
    if (whole < 10) {
      *out++ = static_cast<char>('0' + whole);
    } else if (whole < 100) {
      out = PutPair(out, whole);
    } else if (whole < 1000) {
      *out++ = static_cast<char>('0' + whole / 100);
      out = PutPair(out, whole % 100);
    } else {
      char digits[10];
      int count = 0;
      do {
        digits[count++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
      } while (whole != 0);
      while (count > 0) *out++ = digits[--count];
    }
    *out++ = '.';
    out = PutPair(out, fraction / 100);
    return PutPair(out, fraction % 100);
  }

 private:
  static std::string Compared(double value) {
    std::string text = FormatFixed(value, 4);
    if (text == "-0.0000") text.erase(0, 1);
    return text;
  }

  static char* PutPair(char* out, std::uint32_t pair) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    std::memcpy(out, kPairs + 2 * pair, 2);
    return out + 2;
  }

  double m_value = 0;
  std::uint32_t m_units = 0;  // ten-thousandths, rounded as the text rounds them
  bool m_negative = false;
  bool m_byNumber = false;
};

// One line of the program, gathered in a small array and added to the program in one piece:
// a move is a dozen short pieces, and adding each to the string on its own costs more than
// making them.
class ProgramLine {
 public:
  void G(int g) {
    // The font's moves are G00 and G01 but for damaged files.
    if (g == 0 || g == 1) {
      std::memcpy(m_end, g == 0 ? "G00" : "G01", 3);
      m_end += 3;
      return;
    }
    std::string word = "G";
    if (g >= 0 && g < 10) word += '0';
    AppendInteger(word, g);
    Put(word);
  }
  /// " X1.2345": a word with four decimals.
  void Word(char letter, double value) {
    Letter(letter);
    if (std::abs(value) < kMaxMachineValue) {
      if (char* end = WriteShortFixed4(m_end, value)) {
        m_end = end;
        return;
      }
    }
    Number(value, 4);
  }
  /// " X1.2345": a plane position, written from the units it was compared by.
  void Word(char letter, const ShownPosition& shown) {
    if (!shown.ByNumber()) {
      Word(letter, shown.Value());
      return;
    }
    Letter(letter);
    m_end = shown.Put(m_end);
  }
  /// " F" and the text of a feed.
  void Feed(std::string_view text) {
    Letter('F');
    Put(text);
  }
  /// " M15".
  void M(int code) {
    Letter('M');
    std::string digits;
    AppendInteger(digits, code);
    Put(digits);
  }
  void EndInto(std::string& out, LineEnd lineEnd) {
    if (lineEnd == LineEnd::CrLf) *m_end++ = '\r';
    *m_end++ = '\n';
    out.append(m_text, static_cast<std::size_t>(m_end - m_text));
  }
  /// Ends the line with `tail` (words of any length) before its line end.
  void EndInto(std::string& out, LineEnd lineEnd, std::string_view tail) {
    if (tail.empty()) {
      EndInto(out, lineEnd);
      return;
    }
    out.append(m_text, static_cast<std::size_t>(m_end - m_text));
    out += tail;
    out += LineEndText(lineEnd);
  }

 private:
  void Letter(char letter) {
    m_end[0] = ' ';
    m_end[1] = letter;
    m_end += 2;
  }
  void Number(double value, int decimals) {
    std::string text;
    AppendMachineNumber(text, value, decimals);  // refuses a value no machine takes
    Put(text);
  }
  void Put(std::string_view text) {
    std::memcpy(m_end, text.data(), text.size());
    m_end += text.size();
  }

  // The longest line: a G word of an int, three words of a number below 1e9 with four decimals,
  // a feed, a direction code and the line end.
  char m_text[128];
  char* m_end = m_text;
};

// The texts of the last two feeds written, in arrays, so that a move writer stays cheap to copy.
class FeedTexts {
 public:
  std::string_view Of(double feed) {
    for (Slot& slot : m_slots) {
      if (slot.length != 0 &&
          std::bit_cast<std::uint64_t>(slot.feed) == std::bit_cast<std::uint64_t>(feed)) {
        return {slot.text, slot.length};
      }
    }
    std::string text;
    AppendMachineNumber(text, feed, 2);  // refuses a feed no machine takes
    Slot& slot = m_slots[m_next];
    m_next = 1 - m_next;
    std::memcpy(slot.text, text.data(), text.size());
    slot.length = static_cast<std::uint8_t>(text.size());
    slot.feed = feed;
    return {slot.text, slot.length};
  }

 private:
  struct Slot {
    double feed = 0;
    char text[24] = {};  // below 1e9 with two decimals: 13 characters at most
    std::uint8_t length = 0;
  };
  Slot m_slots[2];
  int m_next = 0;
};

// Degrees above one turn come back into it by whole turns, to a value in (0, 360]; at or below
// 360 (negative values included) they stay as they are. fmod is exact, and so is each
// subtraction of 360 from a value of this size, so this is the value that taking off one turn
// at a time gives, without a loop of up to a million turns per move.
double ReduceDegrees(double degrees) {
  if (!(degrees > 360)) return degrees;
  const double reduced = std::fmod(degrees, 360.0);
  return reduced == 0 ? 360 : reduced;
}

}  // namespace

// Writes the moves of one string of text. Its whole state is plain values, so that a copy taken
// after a character can carry on from there later (see SerialEngraver).
class MoveWriter {
 public:
  MoveWriter(std::string& out, const PreparedJob& job, Point2 start, double angleRad,
             LineEnd lineEnd = LineEnd::Lf)
      : m_out(&out), m_job(&job), m_lineEnd(lineEnd), m_rotary1(IsRotaryLetter(job.axis1)),
        m_rotary2(IsRotaryLetter(job.axis2)), m_cos(std::cos(angleRad)), m_sin(std::sin(angleRad)),
        m_xScale(job.textHeight * job.widthRatio), m_yScale(job.textHeight),
        m_circumference(2 * job.penDown * kPi), m_plane(start), m_origin(start),
        m_origin0(start), m_shown{ShownPosition(start.x), ShownPosition(start.y)},
        m_plungeLevel(job.penUp),
        m_degreesAxis(job.g16AxisMarker) {}

  /// Carries on into another text (the state stays as it was).
  void SetOut(std::string& out) { m_out = &out; }
  std::string& Out() { return *m_out; }

  /// The rapid to the start at the pen up level. Under a travel order it waits for the first
  /// path, so that the tool goes straight to where the order begins.
  void OpeningMove() {
    if (m_job->cutting.travelOrder != 0) {
      m_openingPending = true;
      return;
    }
    WriteOpening();
  }

  /// Under a travel order, orders the paths from `at` (where the tool stands) rather than from
  /// the start; the opening rapid still goes to the first path.
  void OrderFrom(Point2 at) {
    if (m_openingPending) m_plane = at;
  }

  /// Writes the opening rapid to the start when no path took it.
  void FlushOpening() {
    if (m_openingPending) OpenAt(m_origin0);
  }

  /// Ends the text: the opening rapid if no path took it, and the air assist off.
  void Close() {
    FlushOpening();
    if (m_job->cutting.laserMode != 0 && !AirAssistOn(m_job->cutting.airAssist).empty()) {
      Out() += "M09";
      Out() += LineEndText(m_lineEnd);
    }
  }

 private:
  void OpenAt(Point2 at) {
    m_openingPending = false;
    m_plane = at;
    m_shown[0] = ShownPosition(at.x);
    m_shown[1] = ShownPosition(at.y);
    WriteOpening();
  }

  void WriteOpening() {
    ProgramLine line;
    line.G(0);
    line.Word(m_job->axis1, OpeningValue(m_job->axis1, m_plane.x));
    line.Word(m_job->axis2, OpeningValue(m_job->axis2, m_plane.y));
    if (m_job->cutting.laserMode == 0) line.Word(m_job->plungeAxis, m_job->penUp);
    line.EndInto(Out(), m_lineEnd);
    if (m_job->cutting.laserMode != 0) {
      const std::string_view air = AirAssistOn(m_job->cutting.airAssist);
      if (!air.empty()) {
        Out() += air;
        Out() += LineEndText(m_lineEnd);
      }
    }
  }

 public:

  /// Moves on to another text of the same job, held back with the ones before.
  void Place(Point2 start, double angleRad) {
    m_origin = start;
    m_cos = std::cos(angleRad);
    m_sin = std::sin(angleRad);
  }

  /// Writes what the cutting options held back for a whole text (TravelOrder 2 and 3).
  void Finish() {
    if (m_pending.empty()) return;
    OrderPaths(m_pending, m_plane, kJoinTolerance);
    CutTarget target(*this);
    CutPaths(m_pending, m_job->cutting, m_job->penUp, m_job->penDown, target);
    m_pending.clear();
    FlushOpening();
  }

  /// Cuts a glyph and moves the pen past it: its width and the font's letter gap, in glyph units.
  void Glyph(std::span<const GlyphMove> moves, double width, double letterGap) {
    if (m_job->cutting.Active()) {
      CutGlyph(moves);
      Advance(width, letterGap);
      return;
    }
    for (const GlyphMove& move : moves) {
      if (move.zDirection != 0) PlungeMove(move);
      else PlaneMove(move);
    }
    Advance(width, letterGap);
  }

  /// The moves as given, one plunge and one lift each, whatever the cutting options.
  void PlainMoves(std::span<const GlyphMove> moves) {
    FlushOpening();
    for (const GlyphMove& move : moves) {
      if (move.zDirection != 0) PlungeMove(move);
      else PlaneMove(move);
    }
  }

  void Advance(double width, double letterGap) {
    const double advance = (width + letterGap) * m_job->spacingRatio * m_xScale;
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
    LevelMove(move.zDirection < 0 ? m_job->penDown : m_job->penUp, move.g);
  }

  void LevelMove(double level, int g) {
    const double travel = std::abs(level - m_plungeLevel);
    if (m_job->feedRate == FeedRate::InverseTime) {
      if (travel == 0) {
        throw Error("Inverse Time Feed cannot time a plunge move that does not move (a glyph of "
                    "the font plunges twice to the same level)");
      }
      m_feed = m_job->plungeFeed / travel;
      RequireTimedFeedWritten("PlungeFeedE");
    } else {
      m_feed = m_job->plungeFeed;
    }
    ProgramLine line;
    line.G(g);
    line.Word(m_job->plungeAxis, level);
    if (g != 0) line.Feed(FeedText());
    line.EndInto(Out(), m_lineEnd);
    m_plungeLevel = level;
    Remember(m_feed);
  }

  Point2 GlyphPoint(const GlyphMove& move) const {
    const double sx = move.x * m_xScale;
    const double sy = move.y * m_yScale;
    return {sx * m_cos - sy * m_sin + m_origin.x, sx * m_sin + sy * m_cos + m_origin.y};
  }

  void PlaneMove(const GlyphMove& move) {
    const Point2 p = GlyphPoint(move);
    PlaneTo(p.x, p.y, move.g, nullptr);
  }

  // A move in the plane; with `level`, a ramp that moves the plunge axis too; `tail` ends its
  // line, which is then written even when nothing moves.
  void PlaneTo(double p1, double p2, int moveG, const double* level, std::string_view tail = {}) {
    const double d1 = m_plane.x - p1;
    const double d2 = m_plane.y - p2;
    const ShownPosition shown1(p1);
    const ShownPosition shown2(p2);
    const bool changes1 = !shown1.SameAs(m_shown[0]);
    const bool changes2 = !shown2.SameAs(m_shown[1]);
    m_shown[0] = shown1;
    m_shown[1] = shown2;
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
    const bool changesLevel = level != nullptr && *level != m_plungeLevel;
    if (!changes1 && !changes2 && !changesLevel && tail.empty()) return;

    if (m_job->mode->rotaryInDegrees) {
      if (m_rotary1) {
        out1 = ReduceDegrees(out1 / m_circumference * 360);
        m_degreesAxis = DegreesAxis::Axis1;
      }
      if (m_rotary2) {
        out2 = ReduceDegrees(out2 / m_circumference * 360);
        m_degreesAxis = DegreesAxis::Axis2;
      }
    }

    int g = moveG;
    if (g != 0) FeedForPlaneMove(d1, d2, changes1, changes2);
    if (m_job->mode->planeRapidFeed != 0 && g == 0) {
      // No rapid in the plane: a positioning move becomes a slow feed move.
      m_feed = m_job->mode->planeRapidFeed;
      g = 1;
    }
    if (m_job->mode->directionCodes) {
      if (m_rotary1 && changes1) m_direction = DirectionCode(p1, before.x);
      if (m_rotary2 && changes2) m_direction = DirectionCode(p2, before.y);
    }

    ProgramLine line;
    line.G(g);
    // A value written as compared comes from its units; one the machine's mode changed (turns
    // taken off, degrees) is written anew.
    const auto same = [](double a, double b) {
      return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    if (changes1) {
      if (same(out1, p1)) line.Word(m_job->axis1, shown1);
      else line.Word(m_job->axis1, out1);
    }
    if (changes2) {
      if (same(out2, p2)) line.Word(m_job->axis2, shown2);
      else line.Word(m_job->axis2, out2);
    }
    if (changesLevel) {
      line.Word(m_job->plungeAxis, *level);
      m_plungeLevel = *level;
    }
    if (g != 0 && (!m_hasRememberedFeed || m_feed != m_rememberedFeed ||
                   m_job->feedRate == FeedRate::InverseTime)) {
      line.Feed(FeedText());
    }
    if (m_job->mode->directionCodes && m_direction != m_lastDirection) line.M(m_direction);
    line.EndInto(Out(), m_lineEnd, tail);
    Remember(m_feed);
    m_lastDirection = m_direction;
  }

  // The feed as written, with two decimals. A job alternates between few feeds (plunge and
  // engrave), and the texts of the last two are kept.
  std::string_view FeedText() { return m_feedTexts.Of(m_feed); }

  void FeedForPlaneMove(double d1, double d2, bool changes1, bool changes2) {
    // Only the timed feeds need the length of the move.
    const auto distance = [&] { return std::sqrt(d1 * d1 + d2 * d2); };
    if (m_job->feedRate == FeedRate::InverseTime) {
      m_feed = m_job->engraveFeed / distance();
      RequireTimedFeedWritten("EngraveFeedE");
      return;
    }
    m_feed = m_job->engraveFeed;
    if (m_job->feedRate != FeedRate::DegreesPerMinute || !m_job->mode->feedInDegrees) return;
    // The rotary axis turns |d| / circumference x 360 degrees in distance / feed minutes.
    if (m_degreesAxis == DegreesAxis::Axis1 && changes1) {
      m_feed = (std::abs(d1) / m_circumference * 360) / (distance() / m_job->engraveFeed);
    } else if (m_degreesAxis == DegreesAxis::Axis2 && changes2) {
      m_feed = (std::abs(d2) / m_circumference * 360) / (distance() / m_job->engraveFeed);
    }
  }

  // An inverse time F is the typed feed over the length of the move: a small feed on a long
  // move can come to F0.00, which no control runs.
  void RequireTimedFeedWritten(const char* field) {
    if (FeedText() != "0.00") return;
    throw Error(std::string("Inverse Time Feed would write F0.00 for a move of this job: ") + field +
                " is too small for the length of its moves");
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

  // The cutting options' moves, written with the primitives of the plain path.
  class CutTarget final : public stylor::CutTarget {
   public:
    explicit CutTarget(MoveWriter& writer) : m_writer(writer) {}
    Point2 At() const override { return m_writer.m_plane; }
    void Rapid(Point2 to) override {
      if (m_writer.m_openingPending) {
        m_writer.OpenAt(to);
        return;
      }
      m_writer.PlaneTo(to.x, to.y, 0, nullptr);
    }
    void Level(double level, bool fed) override {
      if (level != m_writer.m_plungeLevel) m_writer.LevelMove(level, fed ? 1 : 0);
    }
    void Cut(Point2 to, const double* level) override { m_writer.PlaneTo(to.x, to.y, 1, level); }
    void CutWith(Point2 to, std::string_view words) override {
      m_writer.PlaneTo(to.x, to.y, 1, nullptr, words);
    }
    void Line(std::string_view words) override {
      std::string& out = m_writer.Out();
      out += words;
      out += LineEndText(m_writer.m_lineEnd);
    }
    void Cycle(Point2 at, double retract, double depth, double dwell) override {
      // The cycle leaves the tool over the dot at the retract level.
      if (m_writer.m_openingPending) m_writer.OpenAt(at);
      const MoveWriter& w = m_writer;
      std::string line = dwell > 0 ? "G82" : "G81";
      const auto word = [&line](char letter, double value) {
        line += ' ';
        line += letter;
        AppendMachineNumber(line, value, 4);
      };
      word(w.m_job->axis1, at.x);
      word(w.m_job->axis2, at.y);
      word(w.m_job->plungeAxis, depth);
      word('R', retract);
      if (dwell > 0) word('P', dwell);
      line += " F";
      AppendMachineNumber(line, w.m_job->plungeFeed, 2);
      Line(line);
      m_writer.m_plane = at;
      m_writer.m_shown[0] = ShownPosition(at.x);
      m_writer.m_shown[1] = ShownPosition(at.y);
      m_writer.m_plungeLevel = retract;
      m_writer.m_hasRememberedFeed = false;
    }

   private:
    MoveWriter& m_writer;
  };

  // Paths meeting within half of the last written digit are joined.
  static constexpr double kJoinTolerance = 0.00005;

  // The tool-down runs of a glyph, in machine plane lengths.
  void CutGlyph(std::span<const GlyphMove> moves) {
    std::vector<CutPath> paths;
    bool down = false;
    Point2 at = m_plane;
    for (const GlyphMove& move : moves) {
      if (move.zDirection != 0) {
        down = move.zDirection < 0;
        if (down) paths.push_back({at});
        continue;
      }
      at = GlyphPoint(move);
      if (down && move.g != 0) paths.back().push_back(at);
    }
    if (m_job->cutting.travelOrder >= 2) {
      for (CutPath& path : paths) m_pending.push_back(std::move(path));
      return;
    }
    if (m_job->cutting.travelOrder == 1) OrderPaths(paths, m_plane, kJoinTolerance);
    CutTarget target(*this);
    CutPaths(paths, m_job->cutting, m_job->penUp, m_job->penDown, target);
  }

  std::string* m_out;
  const PreparedJob* m_job;
  LineEnd m_lineEnd;
  bool m_rotary1;  // the axes are rotary ones (looked up once: every move asks)
  bool m_rotary2;
  double m_cos;
  double m_sin;
  double m_xScale;
  double m_yScale;
  double m_circumference;
  Point2 m_plane;
  Point2 m_origin;
  Point2 m_origin0;  // the text's start, where the opening rapid goes
  bool m_openingPending = false;
  ShownPosition m_shown[2];  // per axis: the plane position as the program shows it
  FeedTexts m_feedTexts;
  double m_plungeLevel;
  double m_feed = 0;
  bool m_hasRememberedFeed = false;  // before the first move no feed equals the remembered one
  double m_rememberedFeed = 0;
  DegreesAxis m_degreesAxis;
  int m_direction = 0;
  int m_lastDirection = 0;
  std::vector<CutPath> m_pending;  // TravelOrder 2 and 3: the paths of the whole text
};


namespace {

// Codes the font has no glyph for engrave nothing and advance like an empty glyph.
void WriteCharacter(MoveWriter& writer, char c, const StrokeFont& font) {
  writer.Glyph(MovesOf(font, c), GlyphWidth(font, c), font.LetterGap());
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
  CheckPenDown(job);
  if (job.feedRate == FeedRate::InverseTime && job.penUp == job.penDown) {
    throw Error("Inverse Time Feed needs different pen up and pen down levels: a plunge that "
                "does not move cannot be timed");
  }
  if (job.feedRate == FeedRate::DegreesPerMinute && job.engraveFeed == 0) {
    throw Error("Degrees Per Min needs an engrave feed other than 0");
  }
}

void AppendEngraveMoves(std::string& out, const PreparedJob& job, Point2 start, double angleRad,
                        std::string_view text, const StrokeFont& font, LineEnd lineEnd,
                        std::optional<Point2> orderFrom) {
  CheckEmitterValues(job);
  const std::size_t keep = out.size();
  try {
    MoveWriter writer(out, job, start, angleRad, lineEnd);
    writer.OpeningMove();
    if (orderFrom) writer.OrderFrom(*orderFrom);
    for (char c : text) WriteCharacter(writer, c, font);
    writer.Finish();
    writer.Close();
  } catch (...) {
    out.resize(keep);
    throw;
  }
}

void AppendEngraveGroup(std::string& out, const PreparedJob& job,
                        std::span<const TextPlacement> texts, const StrokeFont& font) {
  if (job.cutting.travelOrder != 3 || texts.empty()) {
    for (const TextPlacement& placed : texts) {
      AppendEngraveMoves(out, job, placed.start, placed.angleRad, placed.text, font);
    }
    return;
  }
  CheckEmitterValues(job);
  const std::size_t keep = out.size();
  try {
    MoveWriter writer(out, job, texts.front().start, texts.front().angleRad);
    writer.OpeningMove();
    for (const TextPlacement& placed : texts) {
      writer.Place(placed.start, placed.angleRad);
      for (char c : placed.text) WriteCharacter(writer, c, font);
    }
    writer.Finish();
    writer.Close();
  } catch (...) {
    out.resize(keep);
    throw;
  }
}

SerialEngraver::SerialEngraver(const PreparedJob& job, const StrokeFont& font, LineEnd lineEnd)
    : m_job(job), m_font(font), m_lineEnd(lineEnd) {
  CheckEmitterValues(job);
}

SerialEngraver::~SerialEngraver() = default;

const std::string& SerialEngraver::Engrave(Point2 start, double angleRad, std::string_view text,
                                           std::optional<Point2> orderFrom) {
  const bool samePlace = !m_states.empty() &&
                         std::bit_cast<std::uint64_t>(start.x) == std::bit_cast<std::uint64_t>(m_start.x) &&
                         std::bit_cast<std::uint64_t>(start.y) == std::bit_cast<std::uint64_t>(m_start.y) &&
                         std::bit_cast<std::uint64_t>(angleRad) == std::bit_cast<std::uint64_t>(m_angleRad);
  if (m_job.cutting.travelOrder >= 2) {
    // The order of the whole text changes with any character: nothing can be reused.
    m_states.clear();
    m_moves.clear();
    AppendEngraveMoves(m_moves, m_job, start, angleRad, text, m_font, m_lineEnd, orderFrom);
    return m_moves;
  }
  std::size_t kept = 0;
  if (samePlace) {
    while (kept < text.size() && kept < m_text.size() && text[kept] == m_text[kept]) ++kept;
  }
  try {
    if (!samePlace) {
      m_moves.clear();
      m_states.clear();
      m_ends.clear();
      MoveWriter writer(m_moves, m_job, start, angleRad, m_lineEnd);
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
    // A text with no stroke still has its opening rapid; that and the air assist off are not
    // kept for the next text.
    writer.Close();
    m_text.assign(text);
  } catch (...) {
    m_states.clear();  // the next text starts afresh
    throw;
  }
  return m_moves;
}

void AppendCutMoves(std::string& out, const PreparedJob& job,
                    const std::vector<std::vector<Point2>>& strokes,
                    const std::vector<Point2>& dots, double dwellSeconds) {
  CheckEmitterValues(job);
  Point2 first;
  if (!strokes.empty() && !strokes.front().empty()) first = strokes.front().front();
  else if (!dots.empty()) first = dots.front();
  else return;
  // Paths are lengths already: the writer's glyph scale is one, its glyph origin the first point.
  PreparedJob unscaled = job;
  unscaled.textHeight = 1;
  unscaled.widthRatio = 1;
  // A code is cut in its own raster order: each stroke is one path, and holding the paths back
  // for the order of a whole text would leave them unwritten here.
  unscaled.cutting.travelOrder = std::min(unscaled.cutting.travelOrder, 1);
  // A dot is one plunge, a dwell at the bottom and a lift, whatever the options for strokes; a
  // laser switches its beam instead.
  const bool plainDots = unscaled.cutting.laserMode == 0;
  const auto at = [&](int g, Point2 p) {
    GlyphMove move;
    move.g = g;
    move.x = p.x - first.x;
    move.y = p.y - first.y;
    return move;
  };
  GlyphMove plunge;
  plunge.g = 1;
  plunge.zDirection = -1;
  GlyphMove lift;
  lift.zDirection = 1;
  const std::size_t keep = out.size();
  try {
    MoveWriter writer(out, unscaled, first, 0);
    writer.OpeningMove();
    std::vector<GlyphMove> moves;
    for (const std::vector<Point2>& stroke : strokes) {
      if (stroke.empty()) continue;
      moves.clear();
      moves.push_back(at(0, stroke.front()));
      moves.push_back(plunge);
      for (std::size_t k = 1; k < stroke.size(); ++k) moves.push_back(at(1, stroke[k]));
      moves.push_back(lift);
      writer.Glyph(moves, 0, 0);
    }
    for (const Point2& dot : dots) {
      const GlyphMove down[] = {at(0, dot), plunge};
      if (plainDots) writer.PlainMoves(down);
      else writer.Glyph(down, 0, 0);
      if (dwellSeconds > 0) {
        out += "G04 P";
        AppendMachineNumber(out, dwellSeconds, 2);
        out += '\n';
      }
      if (plainDots) writer.PlainMoves(std::span<const GlyphMove>(&lift, 1));
      else writer.Glyph(std::span<const GlyphMove>(&lift, 1), 0, 0);
    }
    writer.Close();
  } catch (...) {
    out.resize(keep);
    throw;
  }
}

void EngraveLine(ProgramSink& sink, const PreparedJob& job, Point2 start, double angleRad,
                 std::string_view text, const StrokeFont& font) {
  std::string moves;
  moves.reserve(64 + text.size() * 400);
  AppendEngraveMoves(moves, job, start, angleRad, text, font);
  sink.Write(moves);
}

}  // namespace stylor
