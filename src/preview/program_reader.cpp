#include "preview/program_reader.h"

#include <algorithm>
#include <cmath>

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

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-'; }

std::string Quoted(char letter) {
  if (letter == '\0') return "nothing";
  return std::string("'") + letter + "'";
}

void CheckLetter(char letter, const char* axisName) {
  if (letter == '\0') throw Error(std::string("The axis letter of ") + axisName + " is empty");
  if (!IsAsciiLetter(letter)) {
    throw Error(std::string("The axis letter of ") + axisName + " is " + Quoted(letter) +
                ": a program can only be read back with letters A to Z");
  }
  const char upper = Upper(letter);
  if (upper == 'G' || upper == 'M' || upper == 'N' || upper == 'F') {
    throw Error(std::string("The axis letter of ") + axisName + " is " + Quoted(letter) +
                ": G, M, N and F words are the program's own and cannot be read as an axis");
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

// The angle from a to b turned counter-clockwise (ccw) or clockwise, in (0, 2 pi].
double Turn(double a, double b, bool ccw) {
  double turn = ccw ? b - a : a - b;
  while (turn <= 0) turn += 2 * kPi;
  while (turn > 2 * kPi) turn -= 2 * kPi;
  return turn;
}

}  // namespace

ReaderOptions ReaderOptionsFrom(const EngraveSettings& settings) {
  ReaderOptions options;
  options.penUp = ReadReal(settings.PenUpE);
  options.penDown = ReadReal(settings.PenDownE);
  options.axis1 = ReadLetter(settings.Axis1E);
  options.axis2 = ReadLetter(settings.Axis2E);
  options.plungeAxis = ReadLetter(settings.Axis3E);
  options.feedRate = FeedRateOf(settings.FeedMode);
  options.mode = &LatheMillModeOf(settings.IntegrexMode);
  options.g16AxisMarker = G16DegreesAxis(settings);
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

void CheckReaderOptions(const ReaderOptions& options) {
  CheckLetter(options.axis1, "Axis 1");
  CheckLetter(options.axis2, "Axis 2");
  CheckLetter(options.plungeAxis, "the plunge axis");
  const char letters[3] = {options.axis1, options.axis2, options.plungeAxis};
  const char* names[3] = {"Axis 1", "Axis 2", "the plunge axis"};
  for (int a = 0; a < 3; ++a) {
    for (int b = a + 1; b < 3; ++b) {
      if (Upper(letters[a]) == Upper(letters[b])) {
        throw Error(std::string(names[a]) + " and " + names[b] + " both have the letter " +
                    Quoted(letters[b]) + ": their words cannot be told apart in the program");
      }
    }
  }
  if (options.penDown == 0 &&
      (UnrollsDegrees(options, options.axis1) || UnrollsDegrees(options, options.axis2))) {
    throw Error("The pen down level must not be 0 with a rotary axis: it is the radius of the "
                "cylinder on which the degrees of the program are unrolled");
  }
}

ProgramReader::ProgramReader(const ReaderOptions& options)
    : m_options(options), m_circumference(2 * options.penDown * kPi) {
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

double ProgramReader::Unrolled(char letter, double written) const {
  // Rotary words are degrees on a cylinder whose radius is the cutting level.
  if (UnrollsDegrees(m_options, letter)) return written / 360 * m_circumference;
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

void ProgramReader::RefuseRepeatedWord(char letter) const {
  // "G01 X1 X2" or two F words: a control refuses the line rather than guess which one counts,
  // and so does this reader, so that the picture never shows a move the machine would not make.
  std::string message = "Line ";
  AppendInteger(message, m_lines);
  message += " holds two ";
  message += letter;
  throw Error(message + " words: a control refuses a line that gives one address twice");
}

void ProgramReader::RefuseArc(const char* why) const {
  std::string message = "Line ";
  AppendInteger(message, m_lines);
  throw Error(message + " holds an arc that cannot be: " + why);
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

std::optional<ProgramMove> ProgramReader::ReadLine(std::string_view line) {
  ++m_lines;
  if (m_options.laserMode != 0) TrackBeam(line);
  const char jobLetters[3] = {m_options.axis1, m_options.axis2, m_options.plungeAxis};

  std::array<std::optional<double>, kSlotCount> words{};
  std::optional<int> motion;
  std::optional<bool> incremental;
  std::optional<double> feed;
  std::optional<double> radius;
  std::array<std::optional<double>, 3> offsets{};  // I, J, K
  bool parameterLine = false;
  bool unread = false;

  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '(') {
      const std::size_t close = line.find(')', i);
      if (close == std::string_view::npos) break;
      i = close + 1;
      continue;
    }
    if (c == ';') break;
    if (c == '#' || c == '[') {
      // Macro variables and expressions: their values are only known on the machine.
      unread = true;
      break;
    }
    ++i;
    // Words such as M15, N1000, S or T move nothing; their digits are passed over one by one.
    const int slot = m_roleOf[static_cast<unsigned char>(c)];
    if (slot == kNoRole) continue;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t end = i;
    while (end < line.size() && IsNumberChar(line[end])) ++end;
    const std::string_view number = line.substr(i, end - i);
    i = end;
    // A letter without a number is an address of the control ("G17UH").
    if (number.empty()) continue;
    const ScannedReal scanned = ScanReal(number);
    if (scanned.used != number.size() || !(std::abs(scanned.value) < kMaxWordValue)) {
      unread = true;
      break;
    }
    const double value = scanned.value;
    if (slot >= 0) {
      if (words[slot]) RefuseRepeatedWord(c);
      words[slot] = value;
    } else if (slot == kFeedRole) {
      if (feed) RefuseRepeatedWord(c);
      feed = value;
    } else if (slot == kRadiusRole) {
      if (radius) RefuseRepeatedWord(c);
      radius = value;
    } else if (slot <= kOffsetRole) {
      std::optional<double>& offset = offsets[static_cast<std::size_t>(kOffsetRole - slot)];
      if (offset) RefuseRepeatedWord(c);
      offset = value;
    } else if (value == 0 || value == 1 || value == 2 || value == 3) {
      motion = static_cast<int>(value);
    } else if (value == 90 || value == 91) {
      incremental = value == 91;
    } else {
      bool modal = false;
      for (const double g : kModalOnly) modal = modal || value == g;
      if (!modal) parameterLine = true;
    }
  }
  if (unread) {
    ++m_unreadLines;
    return std::nullopt;
  }
  if (motion) m_motion = *motion;
  if (incremental) m_incremental = *incremental;
  if (parameterLine) return std::nullopt;
  if (feed) m_feed = feed;

  const Axis& axis1 = m_axes[static_cast<unsigned char>(m_options.axis1)];
  const Axis& axis2 = m_axes[static_cast<unsigned char>(m_options.axis2)];
  const Axis& plunge = m_axes[static_cast<unsigned char>(m_options.plungeAxis)];
  const bool planeKnownBefore = axis1.known && axis2.known;
  const Point2 from{Unrolled(m_options.axis1, axis1.value), Unrolled(m_options.axis2, axis2.value)};
  const bool levelKnownBefore = plunge.known;
  const double levelBefore = plunge.value;

  bool moves = false;
  for (int s = 0; s < kSlotCount; ++s) {
    if (!words[s]) continue;
    const char letter = s < 3 ? jobLetters[s] : kOtherAxisLetters[s - 3];
    Axis& axis = m_axes[static_cast<unsigned char>(letter)];
    if (m_incremental) {
      if (axis.known) axis.value = axis.value + *words[s];
    } else {
      axis.value = *words[s];
      axis.known = true;
    }
    if (axis.known) Record(static_cast<unsigned char>(letter), axis.value);
    if (s < 3) moves = true;
  }
  const bool arc = m_arcPlane && (m_motion == 2 || m_motion == 3);
  std::optional<double> offset1;
  std::optional<double> offset2;
  if (arc) {
    offset1 = offsets[static_cast<std::size_t>(m_offsetLetters[0] - 'I')];
    offset2 = offsets[static_cast<std::size_t>(m_offsetLetters[1] - 'I')];
  }
  // "G02 I5" alone is a whole turn back to where it starts.
  if (!moves && !offset1 && !offset2) return std::nullopt;
  if (arc) {
    const bool centreGiven = offset1 || offset2;
    if (radius && centreGiven) RefuseArc("it gives both R and centre offsets");
    if (!radius && !centreGiven) RefuseArc("it gives neither R nor centre offsets");
  }

  const Point2 to{Unrolled(m_options.axis1, axis1.value), Unrolled(m_options.axis2, axis2.value)};
  if (!planeKnownBefore) {
    // Where the machine stood before is unknown: this move only tells where the program starts.
    if (axis1.known && axis2.known && !m_start) m_start = to;
    return std::nullopt;
  }

  ProgramMove move;
  move.line = m_lines;
  move.fed = m_motion != 0;
  move.from = from;
  move.to = to;
  move.toLevel = plunge.known ? plunge.value : 0;
  move.fromLevel = levelKnownBefore ? levelBefore : move.toLevel;
  const bool down = m_options.laserMode != 0 ? m_beamOn : plunge.known && IsDown(move.toLevel);
  const bool planeWords = words[kAxis1Slot] || words[kAxis2Slot];
  if (!planeWords && !arc) move.kind = down ? MoveKind::Plunge : MoveKind::Lift;
  else if (!move.fed) move.kind = MoveKind::Rapid;
  else move.kind = down ? MoveKind::Cut : MoveKind::Travel;

  const double d1 = to.x - from.x;
  const double d2 = to.y - from.y;
  const double d3 = move.toLevel - move.fromLevel;
  move.length = std::sqrt(d1 * d1 + d2 * d2 + d3 * d3);
  if (arc) {
    const bool ccw = (m_motion == 3) != m_leftHanded;
    const double chord = std::hypot(d1, d2);
    Point2 centre;
    if (radius) {
      // The centre lies on the chord's perpendicular bisector, left of the chord for a
      // counter-clockwise arc of positive R (at most a half turn), right for a negative R.
      const double half = chord / 2;
      const double r = std::abs(*radius);
      if (chord <= kArcTolerance) RefuseArc("an R arc must end away from its start");
      if (r < half - kArcTolerance - 1e-4 * half) {
        RefuseArc("R is shorter than half the distance from its start to its end");
      }
      const double rise = r > half ? std::sqrt(r * r - half * half) : 0.0;
      const double side = (ccw == (*radius > 0)) ? 1.0 : -1.0;
      centre = {(from.x + to.x) / 2 - side * rise * d2 / chord,
                (from.y + to.y) / 2 + side * rise * d1 / chord};
    } else {
      centre = {from.x + offset1.value_or(0), from.y + offset2.value_or(0)};
    }
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
    move.length = std::sqrt(along * along + d3 * d3);
  }
  if (move.fed) {
    double turned = 0;
    if (m_degreesAxis == DegreesAxis::Axis1 && words[kAxis1Slot]) turned = std::abs(d1);
    if (m_degreesAxis == DegreesAxis::Axis2 && words[kAxis2Slot]) turned = std::abs(d2);
    move.minutes = Minutes(feed.has_value(), move.length, turned);
  }
  return move;
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

ProgramSummary ReadProgram(std::string_view bytes, const std::string& name,
                           const ReaderOptions& options, const MoveVisitor& visit) {
  ProgramReader reader(options);
  std::int64_t lineNumber = 0;
  std::size_t pos = 0;
  std::size_t lf = bytes.find('\n');  // the next LF at or after pos, or npos
  while (pos < bytes.size()) {
    // A line ends at LF, CR LF or a CR alone. The next LF is looked for again only once it lies
    // behind, so that a program with CR line ends only is read in one pass too.
    if (lf != std::string_view::npos && lf < pos) lf = bytes.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    std::string_view line = bytes.substr(pos, end - pos);
    if (const std::size_t cr = line.find('\r'); cr != std::string_view::npos) {
      if (cr + 1 < line.size()) end = pos + cr;  // a CR alone ends the line
      line = line.substr(0, cr);
    }
    ++lineNumber;
    if (line.size() > kMaxProgramLine) {
      std::string message = "Line ";
      AppendInteger(message, lineNumber);
      message += " of the program '" + name + "' is longer than ";
      AppendInteger(message, static_cast<long long>(kMaxProgramLine));
      throw Error(message + " characters: it is not a G-code program");
    }
    if (line.find('\0') != std::string_view::npos) {
      std::string message = "The program '" + name + "' holds binary data (a zero byte on line ";
      AppendInteger(message, lineNumber);
      throw Error(message + "): it is not a G-code program");
    }
    if (const std::optional<ProgramMove> move = reader.ReadLine(line); move && visit) visit(*move);
    pos = end == bytes.size() ? end : end + 1;
  }
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
