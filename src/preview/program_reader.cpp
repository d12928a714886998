#include "preview/program_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// Beyond this a word is a mistake or a macro result, never a position on a machine.
constexpr double kMaxWordValue = 1e9;

// Axis words that are not one of the job's three letters still move their axis.
constexpr std::string_view kOtherAxisLetters = "XYZABCUVW";

// G codes that switch a state and leave the axis words of their line as a move. Any other
// non-motion G code (G04, G12.1, G16, G28, G92, G110 ...) takes its line's axis words as
// parameters.
constexpr double kModalOnly[] = {17, 18, 19, 20, 21, 40, 41, 42, 43, 49, 54, 55, 56,
                                 57, 58, 59, 61, 64, 80, 93, 94, 95, 98, 99};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-'; }

// Whether the word of `letter` whose text follows in `rest` begins a macro program: M98, M99,
// an o-word with its keyword (o<name> ..., o100 sub), GOTO.
bool StartsMacro(char letter, std::string_view rest) {
  const auto upperAt = [&](std::size_t k) { return k < rest.size() ? Upper(rest[k]) : '\0'; };
  std::size_t k = 0;
  switch (Upper(letter)) {
    case 'M': {
      while (upperAt(k) == '0') ++k;
      const bool digit = upperAt(k + 2) >= '0' && upperAt(k + 2) <= '9';
      return upperAt(k) == '9' && (upperAt(k + 1) == '8' || upperAt(k + 1) == '9') && !digit;
    }
    case 'G': return upperAt(0) == 'O' && upperAt(1) == 'T' && upperAt(2) == 'O';
    case 'O': {
      if (upperAt(0) == '<') return true;
      while (upperAt(k) >= '0' && upperAt(k) <= '9') ++k;
      if (k == 0) return false;
      while (upperAt(k) == ' ' || upperAt(k) == '\t') ++k;
      static constexpr std::string_view kWords[] = {"SUB", "ENDSUB", "CALL", "IF", "ELSE",
                                                    "ENDIF", "WHILE", "ENDWHILE", "DO", "BREAK",
                                                    "CONTINUE", "RETURN", "REPEAT", "ENDREPEAT"};
      for (const std::string_view word : kWords) {
        std::size_t j = 0;
        while (j < word.size() && upperAt(k + j) == word[j]) ++j;
        if (j == word.size()) return true;
      }
      return false;
    }
    default: return false;
  }
}

// Slots of the words of one line: the three job axes first, then the other axis letters.
constexpr int kAxis1Slot = 0;
constexpr int kAxis2Slot = 1;
constexpr int kSlotCount = 3 + static_cast<int>(kOtherAxisLetters.size());
constexpr int kNoRole = -1;
constexpr int kGRole = -2;
constexpr int kFeedRole = -3;
constexpr int kRadiusRole = -4;
constexpr int kOffsetRole = -5;  // I, then J, K below it
constexpr int kMacroRole = -8;   // O and M: an o-word, M98 or M99 starts a macro program

// Lengths below this are taken as equal in arcs: a control rounds its ends to its resolution.
constexpr double kArcTolerance = 1e-6;

// The centre offset letter along an axis letter, or nothing outside X, Y, Z.
char OffsetLetter(char axis) {
  switch (Upper(axis)) {
    case 'X': return 'I';
    case 'Y': return 'J';
    case 'Z': return 'K';
    default: return '\0';
  }
}

// The length of (d1, d2, d3), the square root of the sum of the squares. Most moves go along one
// axis: the square root of the square of a number is the number itself, exactly, as long as the
// square neither overflows nor underflows, so those moves are spared the square root.
double Length(double d1, double d2, double d3) {
  const int zeros = (d1 == 0) + (d2 == 0) + (d3 == 0);
  if (zeros >= 2) {
    const double d = std::abs(d1 + d2 + d3);
    if (d == 0 || (d > 1e-150 && d < 1e150)) return d;
  }
  return std::sqrt(d1 * d1 + d2 * d2 + d3 * d3);
}

// The angle from a to b turned counter-clockwise (ccw) or clockwise, in (0, 2 pi].
double Turn(double a, double b, bool ccw) {
  double turn = ccw ? b - a : a - b;
  while (turn <= 0) turn += 2 * kPi;
  while (turn > 2 * kPi) turn -= 2 * kPi;
  return turn;
}

}  // namespace

ReaderOptions ReaderOptionsFrom(const EngraveSettings& settings) {
  ReaderOptions options = ReadMachineAxes(settings);
  const auto nonZero = [](const std::string& text) {
    try {
      return ReadReal(text) != 0;
    } catch (const Error&) {
      return false;
    }
  };
  options.cutsBelowPenUp = nonZero(settings.DepthPerPassE) || nonZero(settings.RampLengthE);
  options.laserMode = settings.LaserMode == 1 || settings.LaserMode == 2 ? settings.LaserMode : 0;
  return options;
}

bool UnrollsDegrees(const ReaderOptions& options, char letter) {
  return IsRotaryLetter(letter) && options.mode->rotaryInDegrees;
}

void CheckReaderOptions(const ReaderOptions& options) { CheckMachineAxes(options); }

ProgramReader::ProgramReader(const ReaderOptions& options, std::string name)
    : m_options(options), m_name(std::move(name)), m_circumference(2 * options.penDown * kPi) {
  CheckReaderOptions(options);
  // What each letter of a word stands for, either case: the job's axes first, then the others.
  m_roleOf.fill(static_cast<std::int8_t>(kNoRole));
  auto assign = [&](char letter, int role) {
    m_roleOf[static_cast<unsigned char>(Upper(letter))] = static_cast<std::int8_t>(role);
    m_roleOf[static_cast<unsigned char>(Upper(letter) - 'A' + 'a')] = static_cast<std::int8_t>(role);
  };
  assign('I', kOffsetRole);
  assign('J', kOffsetRole - 1);
  assign('K', kOffsetRole - 2);
  assign('R', kRadiusRole);
  for (std::size_t k = 0; k < kOtherAxisLetters.size(); ++k) {
    assign(kOtherAxisLetters[k], 3 + static_cast<int>(k));
  }
  assign('G', kGRole);
  assign('F', kFeedRole);
  assign('O', kMacroRole);
  assign('M', kMacroRole);
  assign(options.axis1, 0);
  assign(options.axis2, 1);
  assign(options.plungeAxis, 2);
  // Arcs turn in the plane of Axis 1 and Axis 2 as G17, G18 or G19 sets it on a control: G02
  // clockwise seen from the third axis, X Y, Y Z and Z X being the planes' own order.
  const char offset1 = OffsetLetter(options.axis1);
  const char offset2 = OffsetLetter(options.axis2);
  m_arcPlane = offset1 != '\0' && offset2 != '\0';
  m_offsetLetters = {offset1, offset2};
  if (m_arcPlane) {
    const int a1 = offset1 - 'I';
    const int a2 = offset2 - 'I';
    m_leftHanded = (a1 + 1) % 3 != a2;
  }
  m_unrolls1 = UnrollsDegrees(options, options.axis1);
  m_unrolls2 = UnrollsDegrees(options, options.axis2);
  // The axis whose F is written in degrees per minute, as the moves were written: Axis 2 wins
  // over Axis 1 when both are rotary; G07.1 and G138 never write degrees per minute.
  m_degreesAxis = options.g16AxisMarker;
  if (!options.mode->feedInDegrees) {
    m_degreesAxis = DegreesAxis::None;
  } else if (UnrollsDegrees(options, options.axis2)) {
    m_degreesAxis = DegreesAxis::Axis2;
  } else if (UnrollsDegrees(options, options.axis1)) {
    m_degreesAxis = DegreesAxis::Axis1;
  }
}

double ProgramReader::Unrolled(bool unrolls, double written) const {
  // Rotary words are degrees on a cylinder whose radius is the cutting level.
  if (unrolls) return written / 360 * m_circumference;
  return written;
}

bool ProgramReader::IsDown(double level) const {
  if (m_options.cutsBelowPenUp) {
    return m_options.penDown <= m_options.penUp ? level < m_options.penUp : level > m_options.penUp;
  }
  const double middle = m_options.penUp / 2 + m_options.penDown / 2;
  return m_options.penDown <= m_options.penUp ? level <= middle : level >= middle;
}

void ProgramReader::Record(unsigned char letter, double value) {
  Axis& axis = m_axes[letter];
  if (!axis.seen) {
    axis.seen = true;
    axis.min = axis.max = value;
  } else {
    if (value < axis.min) axis.min = value;
    if (value > axis.max) axis.max = value;
  }
}

std::optional<double> ProgramReader::Minutes(bool lineHasFeed, double length,
                                             double turnedLength) const {
  if (length == 0) return 0.0;
  if (!m_feed || *m_feed == 0) return std::nullopt;
  const double feed = *m_feed;
  double minutes = 0;
  if (m_options.feedRate == FeedRate::InverseTime) {
    // F is the inverse of the move's time and holds for its own line only.
    if (!lineHasFeed) return std::nullopt;
    minutes = 1 / feed;
  } else if (m_options.feedRate == FeedRate::DegreesPerMinute && turnedLength > 0) {
    minutes = (turnedLength / m_circumference * 360) / feed;
  } else {
    minutes = length / feed;
  }
  if (!std::isfinite(minutes) || minutes < 0) return std::nullopt;
  return minutes;
}

std::string ProgramReader::LinePlace() const {
  std::string place = "Line ";
  AppendInteger(place, m_lines);
  if (!m_name.empty()) place += " of the program '" + m_name + "'";
  return place;
}

void ProgramReader::RefuseRepeatedWord(char letter) const {
  // "G01 X1 X2" or two F words: a control refuses the line rather than guess which one counts,
  // and so does this reader, so that the picture never shows a move the machine would not make.
  std::string message = LinePlace();
  message += " holds two ";
  message += letter;
  throw Error(message + " words: a control refuses a line that gives one address twice");
}

void ProgramReader::RefuseArc(const char* why) const {
  throw Error(LinePlace() + " holds an arc that cannot be: " + why);
}

std::vector<Point2> MovePoints(const ProgramMove& move) {
  if (!move.arc) return {move.from, move.to};
  // About 2.8 degrees a chord: a full turn is 128 chords, within 0.03 % of its radius.
  const double step = kPi / 64;
  const double turns = std::ceil(std::abs(move.sweep) / step);
  const int chords = static_cast<int>(std::clamp(turns, 1.0, double{kMaxArcChords}));
  const double r = std::hypot(move.from.x - move.centre.x, move.from.y - move.centre.y);
  const double a0 = std::atan2(move.from.y - move.centre.y, move.from.x - move.centre.x);
  std::vector<Point2> points;
  points.reserve(static_cast<std::size_t>(chords) + 1);
  points.push_back(move.from);
  for (int k = 1; k < chords; ++k) {
    const double a = a0 + move.sweep * k / chords;
    points.push_back({move.centre.x + r * std::cos(a), move.centre.y + r * std::sin(a)});
  }
  points.push_back(move.to);
  return points;
}

// The beam of a laser program: on from M3 or M4 with an S above 0, off at M5 or S0.
void ProgramReader::TrackBeam(std::string_view line) {
  std::optional<double> power;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '(' || c == ';') break;
    if (c != 'M' && c != 'm' && c != 'S' && c != 's') continue;
    std::size_t end = i + 1;
    while (end < line.size() && IsNumberChar(line[end])) ++end;
    const ScannedReal scanned = ScanReal(line.substr(i + 1, end - i - 1));
    if (c == 'S' || c == 's') power = scanned.value;
    else if (scanned.value == 3 || scanned.value == 4) m_spindleOn = true;
    else if (scanned.value == 5) m_spindleOn = false;
    i = end - 1;
  }
  if (power) m_power = *power;
  m_beamOn = m_spindleOn && m_power > 0;
}

// The words of one line as they are read, before they change the modal state.
struct ProgramReader::LineWords {
  std::array<double, kSlotCount> axis;    // by slot, as written; only given slots are set
  unsigned axisGiven = 0;                 // one bit a slot
  int motion = -1;                        // G00 to G03 on this line
  int incremental = -1;                   // G90 0, G91 1
  std::optional<double> feed;
  std::optional<double> radius;
  std::array<std::optional<double>, 3> offsets{};  // I, J, K
  bool parameterLine = false;  // a G code that takes the axis words as its parameters
  bool macroCall = false;      // G65

  bool Given(int slot) const { return (axisGiven >> slot) & 1u; }
};

void ProgramReader::ReadAxisWord(LineWords& words, int slot, char letter, double value) const {
  if (words.Given(slot)) RefuseRepeatedWord(letter);
  words.axisGiven |= 1u << slot;
  words.axis[static_cast<std::size_t>(slot)] = value;
}

void ProgramReader::ReadAddressWord(std::optional<double>& word, char letter,
                                    double value) const {
  if (word) RefuseRepeatedWord(letter);
  word = value;
}

void ProgramReader::ReadGWord(LineWords& words, double value) {
  if (value == 0 || value == 1 || value == 2 || value == 3) {
    words.motion = static_cast<int>(value);
  } else if (value == 90 || value == 91) {
    words.incremental = value == 91 ? 1 : 0;
  } else {
    bool modal = false;
    for (const double g : kModalOnly) modal = modal || value == g;
    if (!modal) words.parameterLine = true;
    if (value == 65) words.macroCall = true;
  }
}

void ProgramReader::TakeWord(LineWords& words, int role, char letter, double value) const {
  if (role >= 0) {
    ReadAxisWord(words, role, letter, value);
  } else if (role == kFeedRole) {
    ReadAddressWord(words.feed, letter, value);
  } else if (role == kRadiusRole) {
    ReadAddressWord(words.radius, letter, value);
  } else if (role <= kOffsetRole && role > kMacroRole) {
    ReadAddressWord(words.offsets[static_cast<std::size_t>(kOffsetRole - role)], letter, value);
  } else if (role == kGRole) {
    ReadGWord(words, value);
  }
}

ProgramReader::LineKind ProgramReader::ReadWords(std::string_view line, LineWords& words) const {
  const char* const end = line.data() + line.size();
  const char* at = line.data();
  while (at < end) {
    const char c = *at;
    if (c == '(') {
      const void* close = std::memchr(at, ')', static_cast<std::size_t>(end - at));
      if (close == nullptr) break;
      at = static_cast<const char*>(close) + 1;
      continue;
    }
    if (c == ';') break;
    // Macro variables and expressions: the macro program works them out.
    if (c == '#' || c == '[') return LineKind::Macro;
    ++at;
    // Words such as M15, N1000, S or T move nothing; their digits are passed over one by one.
    const int role = m_roleOf[static_cast<unsigned char>(c)];
    if (role == kNoRole) continue;
    if (role == kMacroRole) {
      if (StartsMacro(c, std::string_view(at, static_cast<std::size_t>(end - at)))) {
        return LineKind::Macro;
      }
      continue;
    }
    while (at < end && (*at == ' ' || *at == '\t')) ++at;
    const std::string_view rest(at, static_cast<std::size_t>(end - at));
    ScannedReal scanned;
    if (ScanPlainReal(rest, 0, scanned) &&
        (scanned.used == rest.size() || !IsNumberChar(rest[scanned.used]))) {
      // The usual word: a plain number up to the next letter or blank.
      at += scanned.used;
    } else {
      const char* numberEnd = at;
      while (numberEnd < end && IsNumberChar(*numberEnd)) ++numberEnd;
      const std::string_view number(at, static_cast<std::size_t>(numberEnd - at));
      at = numberEnd;
      // A letter without a number is an address of the control ("G17UH"), or GOTO.
      if (number.empty()) {
        if (Upper(c) == 'G' && StartsMacro(c, std::string_view(at, static_cast<std::size_t>(end - at)))) {
          return LineKind::Macro;
        }
        continue;
      }
      scanned = ScanReal(number);
      if (scanned.used != number.size()) return LineKind::Unread;
    }
    if (!(std::abs(scanned.value) < kMaxWordValue)) return LineKind::Unread;
    TakeWord(words, role, c, scanned.value);
  }
  return LineKind::Plain;
}

std::optional<ProgramMove> ProgramReader::ReadLine(std::string_view line) {
  ++m_lines;
  if (m_macro) {
    m_macro->Keep(line, m_lines);
    return std::nullopt;
  }
  const bool spindleOn = m_spindleOn, beamOn = m_beamOn;
  const double power = m_power;
  if (m_options.laserMode != 0) TrackBeam(line);
  LineWords words;
  switch (ReadWords(line, words)) {
    case LineKind::Plain: break;
    case LineKind::Unread: ++m_unreadLines; return std::nullopt;
    case LineKind::Macro:
      m_spindleOn = spindleOn, m_beamOn = beamOn, m_power = power;
      StartMacro(line);
      return std::nullopt;
  }
  if (words.motion >= 0) m_motion = words.motion;
  if (words.incremental >= 0) m_incremental = words.incremental == 1;
  if (words.parameterLine) {
    if (words.macroCall) {
      m_spindleOn = spindleOn, m_beamOn = beamOn, m_power = power;
      StartMacro(line);
    }
    return std::nullopt;
  }
  if (words.feed) m_feed = words.feed;
  return MoveOf(words);
}

void ProgramReader::StartMacro(std::string_view line) {
  m_macro = std::make_unique<MacroProgram>(m_name.empty() ? std::string("program") : m_name,
                                           m_options.variables, m_options.macroLimits);
  m_macro->Keep(line, m_lines);
}

void ProgramReader::Finish(const MoveVisitor& visit) {
  if (!m_macro) return;
  const std::unique_ptr<MacroProgram> macro = std::move(m_macro);
  const std::int64_t lines = m_lines;
  try {
    macro->Run([&](std::span<const MacroWord> made, std::int64_t line) {
      if (std::optional<ProgramMove> move = ReadMadeWords(made, line); move && visit) visit(*move);
    });
  } catch (...) {
    m_lines = lines;
    throw;
  }
  m_lines = lines;
}

// The beam of a laser program from the words of a block the macro program worked out.
void ProgramReader::TrackMadeBeam(std::span<const MacroWord> made) {
  for (const MacroWord& word : made) {
    if (word.letter == 'S') m_power = word.value;
    else if (word.letter == 'M' && (word.value == 3 || word.value == 4)) m_spindleOn = true;
    else if (word.letter == 'M' && word.value == 5) m_spindleOn = false;
  }
  m_beamOn = m_spindleOn && m_power > 0;
}

std::optional<ProgramMove> ProgramReader::ReadMadeWords(std::span<const MacroWord> made,
                                                        std::int64_t line) {
  m_lines = line;  // the moves and messages name the line of the file
  if (m_options.laserMode != 0) TrackMadeBeam(made);
  LineWords words;
  for (const MacroWord& word : made) {
    const int role = m_roleOf[static_cast<unsigned char>(word.letter)];
    if (role == kNoRole || role == kMacroRole) continue;
    if (!(std::abs(word.value) < kMaxWordValue)) {
      const auto at = static_cast<std::size_t>(line);
      if (m_unreadMade.size() <= at) m_unreadMade.resize(at + 1);
      if (!m_unreadMade[at]) ++m_unreadLines;
      m_unreadMade[at] = true;
      return std::nullopt;
    }
    TakeWord(words, role, word.letter, word.value);
  }
  if (words.motion >= 0) m_motion = words.motion;
  if (words.incremental >= 0) m_incremental = words.incremental == 1;
  if (words.parameterLine) return std::nullopt;
  if (words.feed) m_feed = words.feed;
  return MoveOf(words);
}

bool ProgramReader::MoveAxes(const LineWords& words) {
  const char jobLetters[3] = {m_options.axis1, m_options.axis2, m_options.plungeAxis};
  bool moves = false;
  for (unsigned given = words.axisGiven; given != 0; given &= given - 1) {
    const int s = std::countr_zero(given);
    const char letter = s < 3 ? jobLetters[s] : kOtherAxisLetters[static_cast<std::size_t>(s - 3)];
    Axis& axis = m_axes[static_cast<unsigned char>(letter)];
    const double word = words.axis[static_cast<std::size_t>(s)];
    if (m_incremental) {
      if (axis.known) axis.value = axis.value + word;
    } else {
      axis.value = word;
      axis.known = true;
    }
    if (axis.known) Record(static_cast<unsigned char>(letter), axis.value);
    if (s < 3) moves = true;
  }
  return moves;
}

Point2 ProgramReader::ArcCentre(const LineWords& words, Point2 from, Point2 to, bool ccw) const {
  const double d1 = to.x - from.x;
  const double d2 = to.y - from.y;
  if (!words.radius) {
    return {from.x + words.offsets[static_cast<std::size_t>(m_offsetLetters[0] - 'I')].value_or(0),
            from.y + words.offsets[static_cast<std::size_t>(m_offsetLetters[1] - 'I')].value_or(0)};
  }
  // The centre lies on the chord's perpendicular bisector, left of the chord for a
  // counter-clockwise arc of positive R (at most a half turn), right for a negative R.
  const double chord = std::hypot(d1, d2);
  const double half = chord / 2;
  const double r = std::abs(*words.radius);
  if (chord <= kArcTolerance) RefuseArc("an R arc must end away from its start");
  if (r < half - kArcTolerance - 1e-4 * half) {
    RefuseArc("R is shorter than half the distance from its start to its end");
  }
  const double rise = r > half ? std::sqrt(r * r - half * half) : 0.0;
  const double side = (ccw == (*words.radius > 0)) ? 1.0 : -1.0;
  return {(from.x + to.x) / 2 - side * rise * d2 / chord,
          (from.y + to.y) / 2 + side * rise * d1 / chord};
}

void ProgramReader::MakeArc(const LineWords& words, ProgramMove& move) const {
  const bool ccw = (m_motion == 3) != m_leftHanded;
  const Point2 from = move.from;
  const Point2 to = move.to;
  const Point2 centre = ArcCentre(words, from, to, ccw);
  const double chord = std::hypot(to.x - from.x, to.y - from.y);
  const double r0 = std::hypot(from.x - centre.x, from.y - centre.y);
  const double r1 = std::hypot(to.x - centre.x, to.y - centre.y);
  if (r0 <= kArcTolerance) RefuseArc("its centre is its start");
  if (std::abs(r1 - r0) > kArcTolerance + 1e-3 * r0) {
    RefuseArc("its end is not as far from the centre as its start");
  }
  // An arc whose end is its start is a whole turn.
  const double turn = chord <= kArcTolerance
                          ? 2 * kPi
                          : Turn(std::atan2(from.y - centre.y, from.x - centre.x),
                                 std::atan2(to.y - centre.y, to.x - centre.x), ccw);
  move.arc = true;
  move.centre = centre;
  move.sweep = ccw ? turn : -turn;
  const double along = r0 * turn;
  const double d3 = move.toLevel - move.fromLevel;
  move.length = std::sqrt(along * along + d3 * d3);
}

std::optional<ProgramMove> ProgramReader::MoveOf(const LineWords& words) {
  const Axis& axis1 = m_axes[static_cast<unsigned char>(m_options.axis1)];
  const Axis& axis2 = m_axes[static_cast<unsigned char>(m_options.axis2)];
  const Axis& plunge = m_axes[static_cast<unsigned char>(m_options.plungeAxis)];
  const bool planeKnownBefore = axis1.known && axis2.known;
  const Point2 from{Unrolled(m_unrolls1, axis1.value), Unrolled(m_unrolls2, axis2.value)};
  const bool levelKnownBefore = plunge.known;
  const double levelBefore = plunge.value;

  const bool moves = MoveAxes(words);
  const bool arc = m_arcPlane && (m_motion == 2 || m_motion == 3);
  const bool centreGiven =
      arc && (words.offsets[static_cast<std::size_t>(m_offsetLetters[0] - 'I')] ||
              words.offsets[static_cast<std::size_t>(m_offsetLetters[1] - 'I')]);
  // "G02 I5" alone is a whole turn back to where it starts.
  if (!moves && !centreGiven) return std::nullopt;
  if (arc) {
    if (words.radius && centreGiven) RefuseArc("it gives both R and centre offsets");
    if (!words.radius && !centreGiven) RefuseArc("it gives neither R nor centre offsets");
  }

  const Point2 to{Unrolled(m_unrolls1, axis1.value), Unrolled(m_unrolls2, axis2.value)};
  if (!planeKnownBefore) {
    // Where the machine stood before is unknown: this move only tells where the program starts.
    if (axis1.known && axis2.known && !m_start) m_start = to;
    return std::nullopt;
  }

  // Built in place: the move is handed back without a copy.
  std::optional<ProgramMove> made(std::in_place);
  ProgramMove& move = *made;
  move.line = m_lines;
  move.fed = m_motion != 0;
  move.from = from;
  move.to = to;
  move.toLevel = plunge.known ? plunge.value : 0;
  move.fromLevel = levelKnownBefore ? levelBefore : move.toLevel;
  const bool down = m_options.laserMode != 0 ? m_beamOn : plunge.known && IsDown(move.toLevel);
  const bool planeWords = words.Given(kAxis1Slot) || words.Given(kAxis2Slot);
  if (!planeWords && !arc) move.kind = down ? MoveKind::Plunge : MoveKind::Lift;
  else if (!move.fed) move.kind = MoveKind::Rapid;
  else move.kind = down ? MoveKind::Cut : MoveKind::Travel;

  const double d1 = to.x - from.x;
  const double d2 = to.y - from.y;
  const double d3 = move.toLevel - move.fromLevel;
  move.length = Length(d1, d2, d3);
  if (arc) MakeArc(words, move);
  if (move.fed) {
    double turned = 0;
    if (m_degreesAxis == DegreesAxis::Axis1 && words.Given(kAxis1Slot)) turned = std::abs(d1);
    if (m_degreesAxis == DegreesAxis::Axis2 && words.Given(kAxis2Slot)) turned = std::abs(d2);
    move.minutes = Minutes(words.feed.has_value(), move.length, turned);
  }
  return made;
}

ProgramSummary ProgramReader::Summary() const {
  ProgramSummary summary;
  summary.lines = m_lines;
  summary.unreadLines = m_unreadLines;
  summary.start = m_start;
  const char jobLetters[3] = {m_options.axis1, m_options.axis2, m_options.plungeAxis};
  auto add = [&](char letter) {
    const Axis& axis = m_axes[static_cast<unsigned char>(letter)];
    if (axis.seen) summary.extents.push_back({letter, axis.min, axis.max});
  };
  for (const char letter : jobLetters) add(letter);
  for (int c = 0; c < 256; ++c) {
    const char letter = static_cast<char>(c);
    if (letter != jobLetters[0] && letter != jobLetters[1] && letter != jobLetters[2]) {
      add(letter);
    }
  }
  return summary;
}

namespace {

[[noreturn]] void RefuseLongLine(const std::string& name, std::int64_t lineNumber) {
  std::string message = "Line ";
  AppendInteger(message, lineNumber);
  message += " of the program '" + name + "' is longer than ";
  AppendInteger(message, static_cast<long long>(kMaxProgramLine));
  throw Error(message + " characters: it is not a G-code program");
}

// Reads the whole lines at the front of `bytes` and returns how many bytes they took. With
// `last` the bytes end the program and every byte is taken; otherwise a line that may go on in
// the bytes to come is left, unless it is already too long.
std::size_t ReadLines(ProgramReader& reader, std::string_view bytes, bool last,
                      std::int64_t& lineNumber, const std::string& name,
                      const MoveVisitor& visit) {
  std::size_t pos = 0;
  std::size_t lf = bytes.find('\n');  // the next LF at or after pos, or npos
  // Lines are searched for a zero byte only when the bytes hold one.
  const bool zero = std::memchr(bytes.data(), '\0', bytes.size()) != nullptr;
  while (pos < bytes.size()) {
    // A line ends at LF, CR LF or a CR alone. The next LF is looked for again only once it lies
    // behind, so that a program with CR line ends only is read in one pass too.
    if (lf != std::string_view::npos && lf < pos) lf = bytes.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    std::string_view line = bytes.substr(pos, end - pos);
    const std::size_t cr = line.find('\r');
    if (cr != std::string_view::npos && cr + 1 < line.size()) {
      end = pos + cr;  // a CR alone ends the line
      line = line.substr(0, cr);
    } else if (lf == std::string_view::npos && !last) {
      // The line, or the LF after its CR, may come with the next bytes.
      if (line.size() > kMaxProgramLine + 1) RefuseLongLine(name, lineNumber + 1);
      break;
    } else if (cr != std::string_view::npos) {
      line = line.substr(0, cr);
    }
    ++lineNumber;
    if (line.size() > kMaxProgramLine) RefuseLongLine(name, lineNumber);
    if (zero && std::memchr(line.data(), '\0', line.size()) != nullptr) {
      std::string message = "The program '" + name + "' holds binary data (a zero byte on line ";
      AppendInteger(message, lineNumber);
      throw Error(message + "): it is not a G-code program");
    }
    if (const std::optional<ProgramMove> move = reader.ReadLine(line); move && visit) visit(*move);
    pos = end == bytes.size() ? end : end + 1;
  }
  return pos;
}

}  // namespace

ProgramSummary ReadProgram(std::string_view bytes, const std::string& name,
                           const ReaderOptions& options, const MoveVisitor& visit) {
  ProgramReader reader(options, name);
  std::int64_t lineNumber = 0;
  ReadLines(reader, bytes, true, lineNumber, name, visit);
  reader.Finish(visit);
  return reader.Summary();
}

ProgramSummary ReadProgramFile(const std::string& path, const ReaderOptions& options,
                               const MoveVisitor& visit, const ReadProgress& progress) {
  ProgramReader reader(options, path);
  try {
    FileReader file(path, kMaxProgramBytes, "Cannot read the program file");
    // Pieces small enough to stay in the cache, behind the unfinished line of the piece before.
    constexpr std::size_t kPiece = std::size_t{1} << 18;
    std::string buffer(kPiece + kMaxProgramLine + 2, '\0');
    std::size_t kept = 0;
    std::size_t done = 0;
    std::int64_t lineNumber = 0;
    if (progress) progress(0, file.Size());
    for (;;) {
      const std::size_t got = file.Read(buffer.data() + kept, buffer.size() - kept);
      done += got;
      const std::string_view bytes(buffer.data(), kept + got);
      if (got == 0) {
        ReadLines(reader, bytes, true, lineNumber, path, visit);
        break;
      }
      const std::size_t used = ReadLines(reader, bytes, false, lineNumber, path, visit);
      kept = bytes.size() - used;
      std::memmove(buffer.data(), buffer.data() + used, kept);
      if (progress) progress(done, std::max(done, file.Size()));
    }
  } catch (const FileTooLarge&) {
    throw Error("The program file '" + path +
                "' is larger than 64 MiB: too large for a program to preview");
  }
  reader.Finish(visit);
  return reader.Summary();
}

std::string ReadProgramFile(const std::string& path) {
  try {
    return ReadWholeFile(path, kMaxProgramBytes, "Cannot read the program file");
  } catch (const FileTooLarge&) {
    throw Error("The program file '" + path +
                "' is larger than 64 MiB: too large for a program to preview");
  }
}

}  // namespace stylor
