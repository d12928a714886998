#include "engrave/control/control_program.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/framing.h"
#include "engrave/job_plan.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/machine_modes.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

// The working variables of a cycle. The macro dialect numbers them from its first local
// variable, LinuxCNC names them; the main program and every subprogram share them (M98 keeps
// the caller's locals, LinuxCNC's names with a leading underscore are global).
enum Var {
  kSerial,      // the number this cycle cuts
  kOriginX,     // where the next glyph's own origin lies, machine plane lengths
  kOriginY,
  kCos,         // cos and sin of the baseline angle of the next glyph
  kSin,
  kCut,         // 1: a glyph subprogram cuts; 0: it only gives its width
  kPass,        // 0: the walk over the text measures it; 1: it cuts
  kWidth,       // the text's width, added up by the measuring walk
  kPower,       // the power of ten of the digit being cut
  kTopPower,    // the power of ten of the first digit
  kDigit,
  kCount,       // how many digits the number is written with
  kGlyph,       // the subprogram number of the character being placed
  kGlyphWidth,  // the width of that glyph, glyph units
  kAdvance,     // its advance, machine lengths
  kHalf,        // on the circle: its width, machine lengths
  kTheta,       // on the circle: the angle of the baseline point, radians
  kTemp1,       // a rotary word in degrees
  kTemp2,
  kXScale,      // text height x width ratio
  kYScale,      // text height
  kSpacing,
  kGap,         // the font's letter gap, glyph units
  kCircumference,
  kVarCount
};
constexpr std::string_view kVarNames[kVarCount] = {
    "serial", "ox",    "oy",   "cos",  "sin",   "cut",   "pass", "width",
    "power",  "top",   "digit", "count", "glyph", "gw",   "adv",  "w",
    "theta",  "t1",    "t2",   "xs",   "ys",    "sp",    "gap",  "circ"};

// The characters of the run beyond the digits: those of the prefix and suffix, each once.
std::string OtherCharacters(const SequenceJob& run) {
  std::string others;
  for (const char c : run.prefix + run.suffix) {
    if ((c < '0' || c > '9') && others.find(c) == std::string::npos) others += c;
  }
  return others;
}

// Subprograms: the walk over the text, the placing of one character, then the glyphs of the
// ten digits and of the other characters.
constexpr int kWalkSub = 0;
constexpr int kPlaceSub = 1;
constexpr int kFirstDigitSub = 2;

std::int64_t SubprogramCount(const SequenceJob& run) {
  return kFirstDigitSub + 10 + static_cast<std::int64_t>(OtherCharacters(run).size());
}

std::string Integer(long long value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

// A constant of an expression: fixed notation, no trailing zeros, at most `digits` digits in all
// (0: up to ten decimals); a negative one in brackets, so that it can follow an operator.
std::string Number(double value, int digits) {
  if (!std::isfinite(value) || std::abs(value) >= 1e9) {
    throw Error("Cannot write the value " + FormatGeneral(value) +
                " into the program: it is out of range for a machine (check the text height, "
                "ratios, start values and feeds)");
  }
  int decimals = 10;
  if (digits > 0) {
    std::string whole;
    AppendInteger(whole, static_cast<long long>(std::abs(value)));
    const int wholeDigits = whole == "0" ? 0 : static_cast<int>(whole.size());
    decimals = std::clamp(digits - wholeDigits, 0, 10);
  }
  std::string text = FormatFixed(value, decimals);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text.front() == '-' ? "[" + text + "]" : text;
}

std::string Fill(std::string_view pattern,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
  std::string text;
  for (std::size_t at = 0; at < pattern.size();) {
    if (pattern[at] == '{') {
      const std::size_t close = pattern.find('}', at);
      const std::string_view key = pattern.substr(at + 1, close - at - 1);
      for (const auto& [name, value] : values) {
        if (name == key) text += value;
      }
      at = close + 1;
      continue;
    }
    text += pattern[at++];
  }
  return text;
}

std::string_view Opposite(std::string_view op) {
  if (op == "EQ") return "NE";
  if (op == "NE") return "EQ";
  if (op == "LT") return "GE";
  if (op == "GE") return "LT";
  if (op == "GT") return "LE";
  return "GT";  // LE
}

// Program text in one dialect.
class DialectText {
 public:
  DialectText(const ControlDialect& dialect, int& labels) : m_d(dialect), m_labels(labels) {}

  std::string V(Var v) const {
    return Fill(m_d.workVariable,
                {{"n", Integer(m_d.firstWork + static_cast<int>(v))}, {"name", kVarNames[v]}});
  }
  std::string Kept(std::int32_t number) const {
    return Fill(m_d.keptVariable, {{"n", Integer(number)}});
  }
  void Line(std::string_view text) {
    m_out += text;
    m_out += '\n';
  }
  void Set(Var v, std::string_view expression) { Assign(V(v), expression); }
  void Assign(std::string_view variable, std::string_view expression) {
    Line(Fill(m_d.assign, {{"var", variable}, {"value", expression}}));
  }

  void If(std::string_view a, std::string_view op, std::string_view b) {
    const std::string label = Integer(++m_labels);
    const std::string cond = std::string(a) + " " + std::string(op) + " " + std::string(b);
    const std::string notcond =
        std::string(a) + " " + std::string(Opposite(op)) + " " + std::string(b);
    Line(Fill(m_d.ifOpen, {{"cond", cond}, {"notcond", notcond}, {"label", label}}));
    m_ifs.push_back(label);
  }
  void EndIf() {
    Line(Fill(m_d.ifClose, {{"label", m_ifs.back()}}));
    m_ifs.pop_back();
  }
  void While(std::string_view a, std::string_view op, std::string_view b) {
    const std::string label = Integer(++m_labels);
    const std::string cond = std::string(a) + " " + std::string(op) + " " + std::string(b);
    m_whiles.push_back(label);
    Line(Fill(m_d.whileOpen,
              {{"cond", cond}, {"label", label}, {"level", Integer(static_cast<long long>(m_whiles.size()))}}));
  }
  void EndWhile() {
    Line(Fill(m_d.whileClose,
              {{"label", m_whiles.back()}, {"level", Integer(static_cast<long long>(m_whiles.size()))}}));
    m_whiles.pop_back();
  }
  void Alarm(int number, std::string_view text) {
    Line(Fill(m_d.alarm, {{"number", Integer(number)}, {"text", text}}));
  }
  void Open(std::int32_t sub) { Line(Fill(m_d.subprogramOpen, {{"sub", Integer(sub)}})); }
  void Close(std::int32_t sub) { Line(Fill(m_d.subprogramClose, {{"sub", Integer(sub)}})); }
  void Call(std::int32_t sub) { Line(Fill(m_d.call, {{"sub", Integer(sub)}})); }
  void CallComputed(std::string_view expression) {
    Line(Fill(m_d.call, {{"sub", Fill(m_d.computedSubprogram, {{"sub", expression}})}}));
  }
  std::string& Out() { return m_out; }

 private:
  const ControlDialect& m_d;
  int& m_labels;
  std::string m_out;
  std::vector<std::string> m_ifs;
  std::vector<std::string> m_whiles;
};

class ProgramBuilder {
 public:
  ProgramBuilder(const ControlJob& job, const StrokeFont& font)
      : m_job(job), m_run(job.run), m_prepared(job.run.job), m_font(font),
        m_rotary1(IsRotaryLetter(m_prepared.axis1) && m_prepared.mode->rotaryInDegrees),
        m_rotary2(IsRotaryLetter(m_prepared.axis2) && m_prepared.mode->rotaryInDegrees),
        m_others(OtherCharacters(job.run)) {}

  ControlProgram Build() {
    int labels = 0;
    DialectText subs(*m_job.dialect, labels);
    WriteWalk(subs);
    WritePlace(subs);
    for (char c = '0'; c <= '9'; ++c) WriteGlyph(subs, c);
    for (const char c : m_others) WriteGlyph(subs, c);
    DialectText cycle(*m_job.dialect, labels);
    WriteCycle(cycle);
    ControlProgram program;
    if (m_job.dialect->subprogramsAfterEnd) {
      program.beforeCycle = std::move(cycle.Out());
      program.afterEnd = std::move(subs.Out());
    } else {
      program.beforeCycle = std::move(subs.Out()) + cycle.Out();
    }
    return program;
  }

 private:
  std::int32_t Sub(int k) const { return m_job.firstSubprogram + k; }
  std::string Num(double value) const { return Number(value, m_job.dialect->constantDigits); }
  std::int32_t SubOf(char c) const {
    if (c >= '0' && c <= '9') return Sub(kFirstDigitSub + (c - '0'));
    return Sub(kFirstDigitSub + 10 + static_cast<int>(m_others.find(c)));
  }

  // The words of a plane position given as two expressions of machine lengths; a rotary axis
  // takes degrees on the cylinder of the pen down radius, brought into one turn as the plain
  // program does (above 360 into (0, 360]) unless `opening`.
  std::string PlaneWords(DialectText& t, const std::string& e1, const std::string& e2,
                         bool opening) {
    std::string words;
    const auto word = [&](char letter, bool rotary, const std::string& e, Var temp) {
      words += ' ';
      words += letter;
      if (!rotary) {
        words += "[" + e + "]";
        return;
      }
      if (opening) {
        words += "[" + e + "/" + t.V(kCircumference) + "*360]";
        return;
      }
      const std::string v = t.V(temp);
      t.Set(temp, "[" + e + "]/" + t.V(kCircumference) + "*360");
      // FUP rounds up (away from zero): past one turn this takes off all whole turns but one,
      // and 0 for a value at or below one turn.
      const std::string turns = "[FUP[" + v + "/360]-1]";
      t.Set(temp, v + "-360*[[" + turns + "+ABS" + turns + "]/2]");
      words += v;
    };
    word(m_prepared.axis1, m_rotary1, e1, kTemp1);
    word(m_prepared.axis2, m_rotary2, e2, kTemp2);
    return words;
  }

  std::string Level(double level) const {
    std::string text;
    AppendMachineNumber(text, level, 4);
    return text;
  }
  std::string Feed(double feed) const {
    std::string text;
    AppendMachineNumber(text, feed, 2);
    return text;
  }

  void OpeningMove(DialectText& t) {
    std::string line =
        "G00" + PlaneWords(t, t.V(kOriginX), t.V(kOriginY), true);
    line += ' ';
    line += m_prepared.plungeAxis;
    line += Level(m_prepared.penUp);
    t.Line(line);
  }

  void WriteWalk(DialectText& t) {
    t.Open(Sub(kWalkSub));
    t.Line("(THE TEXT: PREFIX, DIGITS, SUFFIX)");
    for (const char c : m_run.prefix) {
      t.Set(kGlyph, Integer(SubOf(c)));
      t.Call(Sub(kPlaceSub));
    }
    t.Set(kPower, t.V(kTopPower));
    t.While(t.V(kPower), "GE", "1");
    t.Set(kDigit, "FIX[" + t.V(kSerial) + "/" + t.V(kPower) + "]-FIX[" + t.V(kSerial) + "/[" +
                      t.V(kPower) + "*10]]*10");
    t.Set(kGlyph, Integer(Sub(kFirstDigitSub)) + "+" + t.V(kDigit));
    t.Call(Sub(kPlaceSub));
    t.Set(kPower, t.V(kPower) + "/10");
    t.EndWhile();
    for (const char c : m_run.suffix) {
      t.Set(kGlyph, Integer(SubOf(c)));
      t.Call(Sub(kPlaceSub));
    }
    t.Close(Sub(kWalkSub));
  }

  void WritePlace(DialectText& t) {
    t.Open(Sub(kPlaceSub));
    t.Line("(ONE CHARACTER: MEASURE, OR PLACE AND CUT)");
    t.Set(kCut, "0");
    t.CallComputed(t.V(kGlyph));
    t.Set(kAdvance, "[" + t.V(kGlyphWidth) + "+" + t.V(kGap) + "]*" + t.V(kSpacing) + "*" +
                        t.V(kXScale));
    t.If(t.V(kPass), "EQ", "0");
    t.Set(kWidth, t.V(kWidth) + "+" + t.V(kAdvance));
    t.EndIf();
    t.If(t.V(kPass), "EQ", "1");
    if (!m_run.arc) {
      t.Set(kCut, "1");
      t.CallComputed(t.V(kGlyph));
      t.Set(kOriginX, t.V(kOriginX) + "+" + t.V(kAdvance) + "*" + t.V(kCos));
      t.Set(kOriginY, t.V(kOriginY) + "+" + t.V(kAdvance) + "*" + t.V(kSin));
    } else {
      // Each character stands on its own baseline, tangent to the circle at its middle.
      const ArcLayout& arc = *m_run.arc;
      const std::string radius = Num(arc.radius);
      const std::string sign = Num(arc.directionSign);
      const std::string degrees = Num(180 / kPi);
      t.Set(kHalf, t.V(kGlyphWidth) + "*" + t.V(kSpacing) + "*" + t.V(kXScale));
      t.Set(kTheta, t.V(kTheta) + "+[" + t.V(kHalf) + "*0.5/" + radius + "]*" + sign);
      t.Set(kTemp1, "[" + t.V(kTheta) + "+" + Num(arc.tangentOffsetRad) + "]*" + degrees);
      t.Set(kCos, "COS[" + t.V(kTemp1) + "]");
      t.Set(kSin, "SIN[" + t.V(kTemp1) + "]");
      t.Set(kTemp2, t.V(kTheta) + "*" + degrees);
      t.Set(kOriginX, "[0-" + t.V(kHalf) + "/2]*" + t.V(kCos) + "+[COS[" + t.V(kTemp2) + "]*" +
                          radius + "+" + Num(m_prepared.start.x) + "]");
      t.Set(kOriginY, "[0-" + t.V(kHalf) + "/2]*" + t.V(kSin) + "+[SIN[" + t.V(kTemp2) + "]*" +
                          radius + "+" + Num(m_prepared.start.y) + "]");
      OpeningMove(t);
      t.Set(kCut, "1");
      t.CallComputed(t.V(kGlyph));
      t.Set(kTheta, t.V(kTheta) + "+[[" + t.V(kAdvance) + "-" + t.V(kHalf) + "*0.5]/" + radius +
                        "]*" + sign);
    }
    t.EndIf();
    t.Close(Sub(kPlaceSub));
  }

  void WriteGlyph(DialectText& t, char c) {
    t.Open(SubOf(c));
    // A comment ends at its first closing bracket: only plain characters are shown as they are.
    const auto code = static_cast<unsigned char>(c);
    const bool plain = code > 32 && code < 127 && c != '(' && c != ')';
    t.Line("(GLYPH " + (plain ? std::string(1, c) : "CODE " + Integer(code)) + ")");
    t.Set(kGlyphWidth, Num(GlyphWidth(m_font, c)));
    const std::span<const GlyphMove> moves = MovesOf(m_font, c);
    if (!moves.empty()) {
      t.If(t.V(kCut), "EQ", "1");
      const std::string xs = t.V(kXScale), ys = t.V(kYScale), cs = t.V(kCos), sn = t.V(kSin);
      bool engraveFeed = false;  // whether F is the engrave feed here
      for (const GlyphMove& move : moves) {
        const std::string g = move.g == 0 ? "G00" : move.g == 1 ? "G01" : "G" + Integer(move.g);
        if (move.zDirection != 0) {
          std::string line = g + " ";
          line += m_prepared.plungeAxis;
          line += Level(move.zDirection < 0 ? m_prepared.penDown : m_prepared.penUp);
          if (move.g != 0) {
            line += " F" + Feed(m_prepared.plungeFeed);
            engraveFeed = false;
          }
          t.Line(line);
          continue;
        }
        // x cos - y sin + origin, y as x sin + y cos + origin, the terms of a zero glyph
        // coordinate left out: the sums come out to the same bits.
        const std::string x = Num(move.x), y = Num(move.y);
        const std::string xc = x + "*" + xs + "*" + cs, xn = x + "*" + xs + "*" + sn;
        const std::string yc = y + "*" + ys + "*" + cs, yn = y + "*" + ys + "*" + sn;
        std::string e1 = t.V(kOriginX), e2 = t.V(kOriginY);
        if (move.x != 0 && move.y != 0) {
          e1 = xc + "-" + yn + "+" + e1;
          e2 = xn + "+" + yc + "+" + e2;
        } else if (move.x != 0) {
          e1 = xc + "+" + e1;
          e2 = xn + "+" + e2;
        } else if (move.y != 0) {
          e1 = e1 + "-" + yn;
          e2 = yc + "+" + e2;
        }
        std::string line = g + PlaneWords(t, e1, e2, false);
        if (move.g != 0 && !engraveFeed) {
          line += " F" + Feed(m_prepared.engraveFeed);
          engraveFeed = true;
        }
        t.Line(line);
      }
      t.EndIf();
    }
    t.Close(SubOf(c));
  }

  void WriteCycle(DialectText& t) {
    const std::int64_t count = m_run.Count();
    const std::int32_t first = m_run.Number(0);
    const std::int32_t last = m_run.Number(count - 1);
    const std::string kept = t.Kept(m_job.counterVariable);
    t.Line("(SERIAL NUMBER ON THE CONTROL: " + kept + " HOLDS THE NEXT, " + Integer(first) +
           " TO " + Integer(last) + " STEP " + Integer(m_run.step) + ")");
    t.Set(kSerial, kept);
    t.If(t.V(kSerial), "LT", Integer(first));
    std::string below = "SERIAL BELOW START " + Integer(first);
    if (below.size() > m_job.dialect->longestAlarmText) below.erase(0, 7);
    t.Alarm(2, below);
    t.EndIf();
    t.If(t.V(kSerial), "GT", Integer(last));
    t.Alarm(1, "SERIAL PAST END " + Integer(last));
    t.EndIf();
    const PreparedJob& job = m_prepared;
    t.Set(kXScale, Num(job.textHeight * job.widthRatio));
    t.Set(kYScale, Num(job.textHeight));
    t.Set(kSpacing, Num(job.spacingRatio));
    t.Set(kGap, Num(m_font.LetterGap()));
    if (m_rotary1 || m_rotary2) t.Set(kCircumference, Num(2 * job.penDown * kPi));
    // The digits: as many as the number has, at least Digits.
    t.Line("(HOW MANY DIGITS)");
    t.Set(kCount, "1");
    t.Set(kPower, "10");
    t.While(t.V(kPower), "LE", t.V(kSerial));
    t.Set(kCount, t.V(kCount) + "+1");
    t.Set(kPower, t.V(kPower) + "*10");
    t.EndWhile();
    const int digits = std::clamp(m_run.digits, 0, 64);
    if (digits > 1) {
      t.If(t.V(kCount), "LT", Integer(digits));
      t.Set(kCount, Integer(digits));
      t.EndIf();
    }
    t.Set(kTopPower, "1");
    t.Set(kDigit, "1");
    t.While(t.V(kDigit), "LT", t.V(kCount));
    t.Set(kTopPower, t.V(kTopPower) + "*10");
    t.Set(kDigit, t.V(kDigit) + "+1");
    t.EndWhile();
    // The width of the text from the advances of its glyphs, less the gap after the last.
    t.Line("(MEASURE THE TEXT, THEN CUT IT)");
    t.Set(kPass, "0");
    t.Set(kWidth, "0");
    t.Call(Sub(kWalkSub));
    t.Set(kWidth, t.V(kWidth) + "-" + t.V(kGap) + "*" + t.V(kSpacing) + "*" + t.V(kXScale));
    std::string shift = "0";
    if (m_run.alignment == TextAlignment::Centre) shift = t.V(kWidth) + "*[-0.5]";
    if (m_run.alignment == TextAlignment::Right) shift = t.V(kWidth) + "*[-1]";
    t.Out() += m_run.linesBefore;
    if (!m_run.arc) {
      t.Set(kCos, Num(std::cos(job.textAngleRad)));
      t.Set(kSin, Num(std::sin(job.textAngleRad)));
      t.Set(kOriginX, "[" + shift + "]*" + t.V(kCos) + "+" + Num(job.start.x));
      t.Set(kOriginY, "[" + shift + "]*" + t.V(kSin) + "+" + Num(job.start.y));
      OpeningMove(t);
    } else {
      t.Set(kTheta, Num(job.textAngleRad) + "+[[" + shift + "]/" + Num(m_run.arc->radius) +
                        "]*" + Num(m_run.arc->directionSign));
    }
    t.Set(kPass, "1");
    t.Call(Sub(kWalkSub));
    t.Out() += m_run.linesAfter;
    // Only a number that has been cut is used up.
    t.Line("(THE NEXT NUMBER, ONCE THIS ONE IS CUT)");
    t.Assign(kept, kept + "+" + Integer(m_run.step));
  }

  const ControlJob& m_job;
  const SequenceJob& m_run;
  const PreparedJob& m_prepared;
  const StrokeFont& m_font;
  bool m_rotary1;
  bool m_rotary2;
  std::string m_others;
};

std::int32_t ReadSetting(const std::string& text) { return ReadInteger(text); }

[[noreturn]] void RefuseOption(std::string_view what) {
  throw Error("On the control cuts every stroke with one plunge, one cut and one lift: " +
              std::string(what) + " cannot be worked out in its program; choose One File or "
                                  "Many Files, or turn it off");
}

}  // namespace

ControlJob PrepareControlJob(const EngraveSettings& settings, const StrokeFont& /*font*/) {
  ControlJob job;
  job.run = PrepareSequenceJob(settings);
  RequireNumbers(job.run);
  const PreparedJob& prepared = job.run.job;
  if (settings.IntegrexMode != 0) {
    const auto mode = static_cast<std::size_t>(settings.IntegrexMode);
    const std::string caption = mode < std::size(kLatheMillModes)
                                    ? std::string(kLatheMillModes[mode].caption)
                                    : Integer(settings.IntegrexMode);
    throw Error("On the control cannot work out the moves of the lathe-mill mode '" + caption +
                "' (IntegrexMode): it works with the mode None on mill axes or a rotary axis; "
                "choose One File or Many Files for this mode");
  }
  if (prepared.feedRate != FeedRate::PerMinute) {
    RefuseOption(prepared.feedRate == FeedRate::InverseTime
                     ? "the feed of each move, which Inverse Time Feed (FeedMode) needs,"
                     : "the feed of each move, which Degrees Per Min (FeedMode) needs,");
  }
  const CuttingOptions& cutting = prepared.cutting;
  if (cutting.laserMode != 0) RefuseOption("the laser (LaserMode)");
  if (cutting.Active()) {
    if (ReadReal(settings.DepthPerPassE) != 0 || settings.SpringPass) {
      RefuseOption("depth in passes (DepthPerPassE)");
    }
    if (ReadReal(settings.RampLengthE) != 0) RefuseOption("a ramped entry (RampLengthE)");
    if (settings.TravelOrder != 0) RefuseOption("a travel order (TravelOrder)");
    if (ReadReal(settings.DotPitchE) != 0) RefuseOption("dots (DotPitchE)");
    RefuseOption("the cutting options");
  }
  if (job.run.code) RefuseOption("a code after each number (CodeKind)");
  if (!settings.PreEngraveW || !settings.PostEngraveW) {
    throw Error("On the control writes a whole program, with its start and end blocks: choose "
                "the append mode Single Engrave Operation (AppendMode)");
  }

  job.dialect = ControlDialectOf(settings.ControlDialect);
  if (job.dialect == nullptr) {
    throw Error("The control dialect (ControlDialect) is " + Integer(settings.ControlDialect) +
                "; choose 0 (" + std::string(kControlDialects[0].caption) + ") or 1 (" +
                std::string(kControlDialects[1].caption) + ")");
  }
  const ControlDialect& dialect = *job.dialect;
  job.counterVariable = ReadSetting(settings.CounterVariable);
  if (job.counterVariable < dialect.firstKept || job.counterVariable > dialect.lastKept) {
    throw Error("The counter variable (CounterVariable) is " + Integer(job.counterVariable) +
                ": " + std::string(dialect.keptWhere) + ", so choose one from " +
                Integer(dialect.firstKept) + " to " + Integer(dialect.lastKept));
  }
  job.firstSubprogram = ReadSetting(settings.FirstSubprogram);
  const std::int64_t lastSub = job.firstSubprogram + SubprogramCount(job.run) - 1;
  if (job.firstSubprogram < dialect.firstSubprogram || lastSub > dialect.lastSubprogram) {
    throw Error("The first subprogram (FirstSubprogram) is " + Integer(job.firstSubprogram) +
                ": the program numbers " + Integer(SubprogramCount(job.run)) +
                " subprograms from it, and " + std::string(dialect.caption) +
                " takes subprogram numbers " + Integer(dialect.firstSubprogram) + " to " +
                Integer(dialect.lastSubprogram) + ", so choose one from " +
                Integer(dialect.firstSubprogram) + " to " +
                Integer(dialect.lastSubprogram - SubprogramCount(job.run) + 1));
  }
  // The emitter's checks of the values (a pen down radius of 0 on a rotary axis).
  CheckEmitterValues(prepared);
  return job;
}

ControlProgram WriteControlProgram(const ControlJob& job, const StrokeFont& font) {
  return ProgramBuilder(job, font).Build();
}

namespace {

// The subprograms go after the end block, but before a closing "%" line: the control stops
// reading the file there.
std::string WithSubprograms(const std::string& endBlock, const std::string& subprograms) {
  std::string_view body = endBlock;
  if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
  const std::size_t lineEnd = body.rfind('\n');
  const std::size_t lineStart = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
  std::string_view last = body.substr(lineStart);
  while (!last.empty() && last.back() == ' ') last.remove_suffix(1);
  if (last != "%") return endBlock + subprograms;
  return endBlock.substr(0, lineStart) + subprograms + endBlock.substr(lineStart);
}

// Whether a block holds a program end (M30, M02, M2) or a return to the start (M99) outside
// its comments.
bool EndsProgram(std::string_view block) {
  std::string word;
  bool comment = false;
  const auto ends = [&word] {
    const bool found = word == "M30" || word == "M02" || word == "M2" || word == "M99";
    word.clear();
    return found;
  };
  for (const char c : block) {
    if (c == '(') comment = true;
    if (comment) {
      if (c == ')') comment = false;
      if (ends()) return true;
      continue;
    }
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9')) {
      if (upper >= 'A' && upper <= 'Z' && !word.empty() && ends()) return true;
      word += upper;
    } else if (ends()) {
      return true;
    }
  }
  return ends();
}

class ControlPlan final : public JobPlan {
 public:
  ControlPlan(const EngraveSettings& settings, const StrokeFont& font)
      : m_job(PrepareControlJob(settings, font)),
        m_frame(FrameOf(settings)),
        m_engraved(m_job.run.prefix + m_job.run.suffix + "0123456789"),
        m_font(font),
        m_program(WriteControlProgram(m_job, font)) {
    // Past the end block come the subprograms: a program that does not end there would run
    // into them.
    if (m_job.dialect->subprogramsAfterEnd && !EndsProgram(m_frame.endBlock)) {
      throw Error("On the control puts the subprograms after the end block: end the program "
                  "there with M30 or M02 (Post Engrave, PostEngrave)");
    }
    m_frame.endBlock = WithSubprograms(m_frame.endBlock, m_program.afterEnd);
  }

  std::size_t Programs() const override { return 1; }
  ProgramFrame Frame(std::size_t) override { return m_frame; }
  void WriteBody(std::size_t, ProgramSink& body) override { body.Write(m_program.beforeCycle); }
  std::string EngravedText() const override { return m_engraved; }
  // Each number of the run is an item: the preview runs the cycle with the control's counter
  // holding that number, and draws what the control cuts.
  std::size_t Items() const override {
    return static_cast<std::size_t>(std::max<std::int64_t>(m_job.run.Count(), 1));
  }
  std::size_t ProgramOfItem(std::size_t) const override { return 0; }
  void WriteItem(std::size_t, ProgramSink& body) override { body.Write(m_program.beforeCycle); }
  std::vector<std::pair<int, double>> ItemVariables(std::size_t item) const override {
    return {{m_job.counterVariable, m_job.run.Number(static_cast<std::int64_t>(item))}};
  }
  std::string ItemNote(std::size_t item) const override {
    std::string note = "one cycle, with the counter at ";
    AppendInteger(note, m_job.run.Number(static_cast<std::int64_t>(item)));
    note += " (";
    AppendInteger(note, static_cast<long long>(item + 1));
    note += " of ";
    AppendInteger(note, static_cast<long long>(Items()));
    note += " numbers)";
    return note;
  }
  TextShape Shape() const override { return m_job.run.arc ? TextShape::Circle : TextShape::Line; }

 private:
  ControlJob m_job;
  ProgramFrame m_frame;
  std::string m_engraved;
  const StrokeFont& m_font;
  ControlProgram m_program;
};

}  // namespace

std::unique_ptr<JobPlan> PlanControlSequence(const EngraveSettings& settings,
                                             const StrokeFont& font) {
  return std::make_unique<ControlPlan>(settings, font);
}

}  // namespace stylor
