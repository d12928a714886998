#include "preview/macro_program.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

#include "engrave/geometry.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// A fault of the program being run; the runner adds the line it is on.
struct Fault {
  std::string why;
};

[[noreturn]] void Refuse(std::string why) { throw Fault{std::move(why)}; }

std::string NumberText(double value) { return FormatGeneral(value); }

// Variables: the controls' locals #1-#33 and common #100-#999 (#500-#999 kept); LinuxCNC's
// locals #1-#30 and parameters #31-#5399 (those above hold the machine's state).
constexpr int kIndustrialLocals = 33;
constexpr int kLinuxCncLocals = 30;
constexpr int kMaxGlobal = 5399;
constexpr int kAlarmVariable = 3000;
// Named parameters all the calls may create together.
constexpr std::size_t kMaxNamedParameters = 10'000;
constexpr std::size_t kMaxCallArguments = 30;
// Brackets, signs and functions inside one another in one expression.
constexpr int kMaxNesting = 200;
// LinuxCNC takes numbers this close to a whole number as one (a parameter number), and numbers
// this close to each other as equal.
constexpr double kWholeTolerance = 1e-4;
constexpr double kEqualTolerance = 1e-4;

enum class Kind : std::uint8_t {
  Plain,
  Program,  // O1234: a program or subprogram of the controls
  Sub, EndSub, Call, If, ElseIf, Else, EndIf, While, EndWhile, Do, Break, Continue, Return,
  Repeat, EndRepeat,  // LinuxCNC's o-words
  WhileDo,  // WHILE [..] DO m of the controls
  EndDo,    // END m
  Percent,  // % around a program
};

struct Keyword {
  std::string_view word;
  Kind kind;
};
// Longest first where one begins another.
constexpr Keyword kKeywords[] = {
    {"ENDSUB", Kind::EndSub},       {"ENDIF", Kind::EndIf},     {"ENDWHILE", Kind::EndWhile},
    {"ENDREPEAT", Kind::EndRepeat}, {"ELSEIF", Kind::ElseIf},   {"ELSE", Kind::Else},
    {"CONTINUE", Kind::Continue},   {"CALL", Kind::Call},       {"BREAK", Kind::Break},
    {"RETURN", Kind::Return},       {"REPEAT", Kind::Repeat},   {"WHILE", Kind::While},
    {"SUB", Kind::Sub},             {"IF", Kind::If},           {"DO", Kind::Do},
};

// The keyword as LinuxCNC's programs write it, in lower case.
std::string KindWord(Kind kind) {
  std::string word;
  for (const Keyword& k : kKeywords) {
    if (k.kind != kind) continue;
    for (const char c : k.word) word += static_cast<char>(c - 'A' + 'a');
  }
  return word;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Fanuc's G65 arguments: the letter of each local #1, #2, ... (0 for the ones only I, J, K of
// the second kind fill).
constexpr std::string_view kArgumentLetters("ABCIJKDEF\0H\0M\0\0\0QRSTUVWXYZ", 26);

// One kept line: its text in upper case without blanks and comments, and its first comment.
// The label of a call whose subroutine number is worked out when it runs (o[..] call).
constexpr std::int32_t kWorkedOutLabel = -2;

struct Line {
  std::uint32_t text = 0;
  std::uint32_t size = 0;
  std::uint32_t comment = 0;
  std::uint32_t commentSize = 0;
  std::int64_t number = 0;
  Kind kind = Kind::Plain;
  std::uint32_t rest = 0;    // where the words after the o-word or WHILE begin, in the text
  std::int32_t label = -1;   // o-word label (index into the names), O number, or DO number
  std::uint32_t labelAt = 0; // a call whose label is worked out (o[..] call): where [..] begins
  std::int32_t partner = -1; // the other end of a structure; for if branches the next branch
  std::int64_t n = -1;       // N number at the start
};

}  // namespace

struct MacroProgram::State {
  std::string name;
  std::vector<MacroPreset> presets;
  MacroLimits limits;
  std::string text;
  std::vector<Line> lines;
  std::vector<std::string> labels;                  // o-word labels
  std::unordered_map<std::string, int> labelIndex;
  MacroDialect dialect = MacroDialect::Industrial;
  bool linuxCncSeen = false;

  // Built when the program starts.
  std::map<std::pair<int, std::int64_t>, int> nLabels;  // (program line, N) -> line
  std::unordered_map<std::int64_t, int> programs;     // O number -> line
  std::unordered_map<int, int> subs;                   // o-word label -> sub line
  std::vector<std::int32_t> programOf;                 // the O line a line belongs to, or -1
  std::vector<std::int32_t> loopOf;                    // break/continue/return: their structure

  // Running.
  struct Frame {
    int returnTo = 0;       // line to go on at in the caller
    int start = 0;          // first line of the body
    std::int64_t repeats = 1;
    int locals = 0;         // slot of the locals
    int program = -1;       // the O line or the sub line
    std::map<std::string, double, std::less<>> named;  // LinuxCNC's named locals
    std::map<int, std::int64_t> repeatLeft;             // LinuxCNC repeat loops by line
  };
  std::vector<Frame> frames;
  std::vector<std::array<double, kIndustrialLocals + 1>> locals;
  std::vector<double> globals = std::vector<double>(kMaxGlobal + 1, 0.0);
  std::map<std::string, double, std::less<>> globalNamed;
  std::size_t namedCount = 0;
  std::int64_t blocks = 0;
  std::int64_t number = 0;  // the line being run
  int current = 0;          // its index
  std::vector<MacroWord> words;
  struct Pending {
    bool named = false;
    int number = 0;
    std::string name;
    double value = 0;
  };
  std::vector<Pending> pending;

  [[noreturn]] void Stop(const std::string& why) const {
    std::string message = "Line ";
    AppendInteger(message, number);
    message += " of the program '" + name + "' ";
    throw Error(message + why);
  }
  std::string_view TextOf(const Line& line) const {
    return std::string_view(text).substr(line.text, line.size);
  }
  std::string_view CommentOf(const Line& line) const {
    return std::string_view(text).substr(line.comment, line.commentSize);
  }

  void Classify(Line& line);
  void Index();
  void Pair();
  void Start();
  void Execute(const MacroBlockVisitor& visit);
  int Step(int at, const MacroBlockVisitor& visit, bool& ended);
  int RunBlock(int at, std::string_view body, const MacroBlockVisitor& visit, bool& ended);
  /// The label a call names: its own, or the one its o[..] works out to.
  int CalledLabel(const Line& line);
  int Call(int at, int target, std::int64_t repeats, bool newLocals);
  int Return(bool& ended);
  int GotoLabel(std::int64_t n) const;
  int SkipIf(int at);

  double Get(int number) const;
  void Set(int number, double value, const Line& line);
  double GetNamed(std::string_view name) const;
  bool HasNamed(std::string_view name) const;
  void SetNamed(const std::string& name, double value);
  int ParameterNumber(double value) const;
  int LocalCount() const {
    return dialect == MacroDialect::LinuxCnc ? kLinuxCncLocals : kIndustrialLocals;
  }
};

namespace {

// Reads expressions from a line's text: values, operators, functions, parameters.
class Expression {
 public:
  Expression(std::string_view text, std::size_t at, MacroDialect dialect,
             const MacroProgram::State* state)
      : m_text(text), m_at(at), m_dialect(dialect), m_state(state) {}

  std::size_t At() const { return m_at; }
  void Skip() { ++m_at; }
  bool AtEnd() const { return m_at >= m_text.size(); }
  char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }
  bool Take(std::string_view word) {
    if (m_text.substr(m_at, word.size()) != word) return false;
    m_at += word.size();
    return true;
  }
  void Expect(char c, const char* what) {
    if (Peek() != c) {
      std::string why = "lacks ";
      why += what;
      why += AtEnd() ? " at its end" : " before '" + std::string(m_text.substr(m_at, 12)) + "'";
      Refuse(why);
    }
    ++m_at;
  }

  // A whole expression with its binary operators.
  double Full() { return Binary(1); }

  // A value that stands alone: a number, a parameter, a bracket, a function, with a sign.
  double Value() {
    struct Nesting {
      int& depth;
      explicit Nesting(int& d) : depth(d) {
        if (++depth > kMaxNesting) Refuse("nests brackets, signs or functions too deep");
      }
      ~Nesting() { --depth; }
    } nesting(m_depth);
    const char c = Peek();
    if (c == '-') return ++m_at, -Value();
    if (c == '+') return ++m_at, Value();
    if (c == '[') {
      ++m_at;
      const double value = Full();
      Expect(']', "a closing ']'");
      return value;
    }
    if (c == '#') {
      ++m_at;
      return Parameter();
    }
    if (IsDigit(c) || c == '.') return Number();
    if (IsLetter(c)) return Function();
    if (AtEnd()) Refuse("ends where a value should come");
    Refuse("holds '" + std::string(1, c) + "' where a value should come");
  }

  // The part of a parameter after '#': its number or its name; reads its value.
  double Parameter() {
    if (Peek() == '<') {
      const std::string name = Name();
      return m_state != nullptr ? m_state->GetNamed(name) : 0;
    }
    const double number = Value();
    const int n = m_state != nullptr ? m_state->ParameterNumber(number) : 0;
    return m_state != nullptr ? m_state->Get(n) : 0;
  }

  // "<name>" of a named parameter, upper case without blanks.
  std::string Name() {
    ++m_at;
    const std::size_t close = m_text.find('>', m_at);
    if (close == std::string_view::npos) Refuse("lacks the '>' that closes a parameter name");
    std::string name(m_text.substr(m_at, close - m_at));
    if (name.empty()) Refuse("names a parameter with an empty name");
    m_at = close + 1;
    return name;
  }

 private:
  static int Precedence(std::string_view op) {
    if (op == "**") return 5;
    if (op == "*" || op == "/" || op == "MOD") return 4;
    if (op == "+" || op == "-") return 3;
    if (op == "EQ" || op == "NE" || op == "GT" || op == "GE" || op == "LT" || op == "LE") return 2;
    return 1;  // AND OR XOR
  }

  std::string_view Operator() const {
    static constexpr std::string_view kOperators[] = {"**", "*", "/", "+", "-", "MOD", "EQ",
                                                      "NE", "GT", "GE", "LT", "LE", "AND", "OR",
                                                      "XOR"};
    for (const std::string_view op : kOperators) {
      if (m_text.substr(m_at, op.size()) == op) return op;
    }
    return {};
  }

  double Binary(int lowest) {
    double left = Value();
    for (;;) {
      const std::string_view op = Operator();
      if (op.empty() || Precedence(op) < lowest) return left;
      m_at += op.size();
      const double right = Binary(Precedence(op) + 1);
      left = Apply(op, left, right);
    }
  }

  double Apply(std::string_view op, double a, double b) const {
    const bool linuxCnc = m_dialect == MacroDialect::LinuxCnc;
    double value = 0;
    if (op == "+") {
      value = a + b;
    } else if (op == "-") {
      value = a - b;
    } else if (op == "*") {
      value = a * b;
    } else if (op == "/") {
      if (b == 0) Refuse("divides by zero");
      value = a / b;
    } else if (op == "MOD") {
      if (b == 0) Refuse("takes a remainder of a division by zero");
      value = std::fmod(a, b);
      // LinuxCNC's remainder is never negative.
      if (linuxCnc && value < 0) value += std::abs(b);
    } else if (op == "**") {
      if (a < 0 && b != std::floor(b)) Refuse("raises a negative number to a fractional power");
      if (a == 0 && b < 0) Refuse("raises zero to a negative power");
      value = std::pow(a, b);
    } else if (op == "EQ" || op == "NE") {
      // LinuxCNC takes numbers within its tolerance as equal.
      const bool equal = linuxCnc ? std::abs(a - b) < kEqualTolerance : a == b;
      value = (op == "EQ") == equal;
    } else if (op == "GT") {
      value = a > b;
    } else if (op == "GE") {
      value = a >= b;
    } else if (op == "LT") {
      value = a < b;
    } else if (op == "LE") {
      value = a <= b;
    } else if (op == "AND") {
      value = a != 0 && b != 0;
    } else if (op == "OR") {
      value = a != 0 || b != 0;
    } else {
      value = (a != 0) != (b != 0);
    }
    if (!std::isfinite(value)) Refuse("works out a number too large to hold");
    return value;
  }

  double Number() {
    std::size_t end = m_at;
    while (end < m_text.size() && (IsDigit(m_text[end]) || m_text[end] == '.')) ++end;
    const std::string_view digits = m_text.substr(m_at, end - m_at);
    const ScannedReal scanned = ScanReal(digits);
    if (scanned.used != digits.size()) Refuse("holds the number '" + std::string(digits) + "' that does not read");
    m_at = end;
    return scanned.value;
  }

  double Function() {
    std::size_t end = m_at;
    while (end < m_text.size() && IsLetter(m_text[end])) ++end;
    const std::string name(m_text.substr(m_at, end - m_at));
    m_at = end;
    static constexpr std::string_view kFunctions[] = {"ABS", "ACOS", "ASIN", "ATAN", "COS",
                                                      "EXP", "FIX",  "FUP",  "LN",   "ROUND",
                                                      "SIN", "SQRT", "TAN",  "EXISTS"};
    if (std::find(std::begin(kFunctions), std::end(kFunctions), name) == std::end(kFunctions)) {
      Refuse("calls the unknown function '" + name + "'");
    }
    if (Peek() != '[') Refuse("gives the function " + name + " no '[' argument");
    ++m_at;
    if (name == "EXISTS") {
      if (!Take("#") || Peek() != '<') Refuse("gives EXISTS no named parameter");
      const std::string parameter = Name();
      Expect(']', "a closing ']'");
      return m_state != nullptr && m_state->HasNamed(parameter) ? 1 : 0;
    }
    const double a = Full();
    if (name == "ATAN") {
      // ATAN[y]/[x], or ATAN[y,x] on the controls that take two arguments.
      double x = 1;
      bool two = false;
      if (Peek() == ',') {
        ++m_at;
        x = Full();
        Expect(']', "a closing ']'");
        two = true;
      } else {
        Expect(']', "a closing ']'");
        if (Peek() == '/' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '[') {
          m_at += 2;
          x = Full();
          Expect(']', "a closing ']'");
          two = true;
        }
      }
      double degrees = std::atan2(a, x) * 180 / kPi;
      if (!two) degrees = std::atan(a) * 180 / kPi;
      // The controls give 0 to 360.
      if (m_dialect == MacroDialect::Industrial && degrees < 0) degrees += 360;
      return degrees;
    }
    Expect(']', "a closing ']'");
    const bool linuxCnc = m_dialect == MacroDialect::LinuxCnc;
    const double radians = a * kPi / 180;
    double value = 0;
    if (name == "ABS") value = std::abs(a);
    else if (name == "ACOS" || name == "ASIN") {
      if (a < -1 || a > 1) Refuse("takes " + name + " of " + NumberText(a) + ", outside -1 to 1");
      value = (name == "ACOS" ? std::acos(a) : std::asin(a)) * 180 / kPi;
    } else if (name == "COS") value = std::cos(radians);
    else if (name == "SIN") value = std::sin(radians);
    else if (name == "TAN") {
      if (std::abs(std::cos(radians)) < 1e-12) Refuse("takes TAN of " + NumberText(a) + " degrees");
      value = std::tan(radians);
    } else if (name == "EXP") value = std::exp(a);
    else if (name == "LN") {
      if (a <= 0) Refuse("takes LN of " + NumberText(a) + ", which is not above zero");
      value = std::log(a);
    } else if (name == "SQRT") {
      if (a < 0) Refuse("takes the square root of the negative number " + NumberText(a));
      value = std::sqrt(a);
    } else if (name == "FIX") {
      // LinuxCNC rounds down; the controls drop the fraction, towards zero.
      value = linuxCnc ? std::floor(a) : std::trunc(a);
    } else if (name == "FUP") {
      value = linuxCnc ? std::ceil(a) : (a < 0 ? std::floor(a) : std::ceil(a));
    } else {
      value = std::round(a);  // halves away from zero
    }
    if (!std::isfinite(value)) Refuse("works out a number too large to hold");
    return value;
  }

  std::string_view m_text;
  std::size_t m_at;
  int m_depth = 0;
  MacroDialect m_dialect;
  const MacroProgram::State* m_state;
};

}  // namespace

double EvaluateMacroExpression(std::string_view expression, MacroDialect dialect) {
  std::string text;
  for (const char c : expression) {
    if (c != ' ' && c != '\t') text += Upper(c);
  }
  try {
    Expression reader(text, 0, dialect, nullptr);
    const double value = reader.Full();
    if (!reader.AtEnd()) Refuse("goes on after its end: '" + text.substr(reader.At()) + "'");
    return value;
  } catch (const Fault& fault) {
    throw Error("The expression '" + std::string(expression) + "' " + fault.why);
  }
}

MacroProgram::MacroProgram(std::string name, std::vector<MacroPreset> presets,
                           const MacroLimits& limits)
    : m_state(std::make_unique<State>()) {
  m_state->name = std::move(name);
  m_state->presets = std::move(presets);
  m_state->limits = limits;
}

MacroProgram::~MacroProgram() = default;

MacroDialect MacroProgram::Dialect() const { return m_state->dialect; }

void MacroProgram::Keep(std::string_view raw, std::int64_t number) {
  State& s = *m_state;
  if (s.text.size() + raw.size() > s.limits.bytes ||
      static_cast<std::int64_t>(s.lines.size()) >= s.limits.lines) {
    std::string message = "The program '" + s.name + "' holds macro statements and goes on for more than ";
    AppendInteger(message, static_cast<long long>(s.limits.bytes >> 20));
    message += " MiB or ";
    AppendInteger(message, s.limits.lines);
    throw Error(message + " lines after the first one (line " + std::to_string(number) +
                "): too large to run its macros");
  }
  Line line;
  line.number = number;
  line.text = static_cast<std::uint32_t>(s.text.size());
  std::size_t commentStart = 0, commentSize = 0;
  bool commentFound = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '(') {
      const std::size_t close = raw.find(')', i);
      const std::size_t end = close == std::string_view::npos ? raw.size() : close;
      if (!commentFound) {
        commentFound = true;
        commentStart = i + 1;
        commentSize = end - i - 1;
      }
      i = end;
      continue;
    }
    if (c == ';') break;
    if (c == ' ' || c == '\t') continue;
    s.text += Upper(c);
  }
  line.size = static_cast<std::uint32_t>(s.text.size() - line.text);
  line.comment = static_cast<std::uint32_t>(s.text.size());
  line.commentSize = static_cast<std::uint32_t>(commentSize);
  s.text.append(raw.substr(commentStart, commentSize));
  s.Classify(line);
  s.lines.push_back(line);
}

void MacroProgram::State::Classify(Line& line) {
  const std::string_view t = TextOf(line);
  std::size_t at = 0;
  if (t == "%") {
    line.kind = Kind::Percent;
    return;
  }
  if (at < t.size() && t[at] == '/') ++at;  // block delete: run as any block
  if (at < t.size() && t[at] == 'N' && at + 1 < t.size() && IsDigit(t[at + 1])) {
    std::int64_t n = 0;
    for (++at; at < t.size() && IsDigit(t[at]); ++at) n = std::min<std::int64_t>(n * 10 + (t[at] - '0'), 1'000'000'000);
    line.n = n;
  }
  line.rest = static_cast<std::uint32_t>(at);
  const std::string_view body = t.substr(at);
  if (body.starts_with("O")) {
    std::string label;
    std::size_t end = 1;
    if (body.size() > 1 && body[1] == '<') {
      const std::size_t close = body.find('>');
      if (close == std::string_view::npos) return;  // refused when run
      label = std::string(body.substr(2, close - 2));
      end = close + 1;
    } else if (body.size() > 1 && body[1] == '[') {
      // o[expression] call: the subroutine's number is worked out when the call runs.
      int depth = 0;
      for (end = 1; end < body.size(); ++end) {
        if (body[end] == '[') ++depth;
        if (body[end] == ']' && --depth == 0) break;
      }
      linuxCncSeen = true;
      if (end >= body.size() || !body.substr(end + 1).starts_with("CALL")) return;  // refused when run
      line.kind = Kind::Call;
      line.label = kWorkedOutLabel;
      line.labelAt = static_cast<std::uint32_t>(at + 1);
      line.rest = static_cast<std::uint32_t>(at + end + 1 + 4);
      return;
    } else {
      while (end < body.size() && IsDigit(body[end])) ++end;
      if (end == 1) return;
      label = std::string(body.substr(1, end - 1));
    }
    for (const Keyword& k : kKeywords) {
      if (body.substr(end).starts_with(k.word)) {
        line.kind = k.kind;
        line.rest = static_cast<std::uint32_t>(at + end + k.word.size());
        auto [found, added] = labelIndex.try_emplace(label, static_cast<int>(labels.size()));
        if (added) labels.push_back(label);
        line.label = found->second;
        linuxCncSeen = true;
        return;
      }
    }
    if (body[1] == '<') {
      linuxCncSeen = true;
      return;  // an o-word without a keyword, refused when run
    }
    line.kind = Kind::Program;
    std::int64_t number = 0;
    for (std::size_t k = 1; k < end; ++k) number = std::min<std::int64_t>(number * 10 + (body[k] - '0'), 1'000'000'000);
    line.label = static_cast<std::int32_t>(number);
    return;
  }
  if (body.starts_with("WHILE")) {
    // WHILE [..] DO m: the DO number ends the line.
    std::size_t digits = body.size();
    while (digits > 0 && IsDigit(body[digits - 1])) --digits;
    if (digits >= 2 && digits < body.size() && body.substr(digits - 2, 2) == "DO") {
      line.kind = Kind::WhileDo;
      line.label = std::min(99999, std::stoi(std::string(body.substr(digits, 5))));
      line.rest = static_cast<std::uint32_t>(at + 5);
    }
    return;
  }
  if (body.starts_with("END") && body.size() > 3 && body.size() <= 8) {
    bool digits = true;
    for (const char c : body.substr(3)) digits = digits && IsDigit(c);
    if (digits) {
      line.kind = Kind::EndDo;
      line.label = std::stoi(std::string(body.substr(3)));
    }
  }
  if (t.find("#<") != std::string_view::npos) linuxCncSeen = true;
}

// Pairs the ends of every structure, refusing one left open or closed by the wrong end.
void MacroProgram::State::Pair() {
  struct Open {
    int line;
    int lastBranch;  // if: the last elseif/else met
  };
  std::vector<Open> open;
  loopOf.assign(lines.size(), -1);
  auto describe = [&](int index) {
    const Line& l = lines[static_cast<std::size_t>(index)];
    std::string what;
    if (l.kind == Kind::WhileDo) {
      what = "WHILE .. DO " + std::to_string(l.label);
    } else {
      what = "o";
      const std::string& label = labels[static_cast<std::size_t>(l.label)];
      what += IsDigit(label[0]) ? label : "<" + label + ">";
      what += " ";
      what += KindWord(l.kind);
    }
    return what + " of line " + std::to_string(l.number);
  };
  auto stopAt = [&](int index, const std::string& why) {
    number = lines[static_cast<std::size_t>(index)].number;
    Stop(why);
  };
  auto top = [&](int index, std::initializer_list<Kind> kinds, const char* what) -> Open& {
    const Line& l = lines[static_cast<std::size_t>(index)];
    if (open.empty()) stopAt(index, std::string("closes no ") + what);
    const Line& o = lines[static_cast<std::size_t>(open.back().line)];
    const bool kindFits = std::find(kinds.begin(), kinds.end(), o.kind) != kinds.end();
    if (!kindFits || o.label != l.label) {
      stopAt(index, std::string("does not close ") + describe(open.back().line));
    }
    return open.back();
  };
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    Line& l = lines[static_cast<std::size_t>(i)];
    switch (l.kind) {
      case Kind::Sub:
        for (const Open& o : open) {
          if (lines[static_cast<std::size_t>(o.line)].kind == Kind::Sub) {
            stopAt(i, "defines a subroutine inside " + describe(o.line));
          }
        }
        if (!subs.try_emplace(l.label, i).second) stopAt(i, "defines a subroutine a second time");
        [[fallthrough]];
      case Kind::If:
      case Kind::Do:
      case Kind::Repeat:
      case Kind::WhileDo:
        open.push_back({i, i});
        break;
      case Kind::While:
        if (!open.empty() && lines[static_cast<std::size_t>(open.back().line)].kind == Kind::Do &&
            lines[static_cast<std::size_t>(open.back().line)].label == l.label) {
          l.partner = open.back().line;  // the end of a do loop
          lines[static_cast<std::size_t>(open.back().line)].partner = i;
          open.pop_back();
          l.kind = Kind::While;
          l.n = l.n;  // keeps its kind; `partner` before it tells the end of a do
        } else {
          open.push_back({i, i});
        }
        break;
      case Kind::ElseIf:
      case Kind::Else: {
        Open& o = top(i, {Kind::If}, "if");
        const Line& last = lines[static_cast<std::size_t>(o.lastBranch)];
        if (last.kind == Kind::Else) stopAt(i, "follows the else of " + describe(o.line));
        lines[static_cast<std::size_t>(o.lastBranch)].partner = i;
        o.lastBranch = i;
        break;
      }
      case Kind::EndSub:
      case Kind::EndIf:
      case Kind::EndWhile:
      case Kind::EndRepeat:
      case Kind::EndDo: {
        const Kind opener = l.kind == Kind::EndSub     ? Kind::Sub
                            : l.kind == Kind::EndIf    ? Kind::If
                            : l.kind == Kind::EndWhile ? Kind::While
                            : l.kind == Kind::EndRepeat ? Kind::Repeat
                                                         : Kind::WhileDo;
        Open& o = top(i, {opener}, l.kind == Kind::EndDo ? "WHILE .. DO" : "o-word structure");
        if (l.kind == Kind::EndIf) {
          lines[static_cast<std::size_t>(o.lastBranch)].partner = i;
        } else {
          lines[static_cast<std::size_t>(o.line)].partner = i;
        }
        l.partner = o.line;
        open.pop_back();
        break;
      }
      case Kind::Break:
      case Kind::Continue:
      case Kind::Return: {
        const Kind want = l.kind == Kind::Return ? Kind::Sub : Kind::While;
        for (auto o = open.rbegin(); o != open.rend(); ++o) {
          const Line& ol = lines[static_cast<std::size_t>(o->line)];
          const bool fits = l.kind == Kind::Return
                                ? ol.kind == want
                                : ol.kind == Kind::While || ol.kind == Kind::Do ||
                                      ol.kind == Kind::Repeat;
          if (fits && ol.label == l.label) {
            loopOf[static_cast<std::size_t>(i)] = o->line;
            break;
          }
        }
        if (loopOf[static_cast<std::size_t>(i)] < 0) {
          stopAt(i, std::string("has a ") + std::string(KindWord(l.kind)) +
                        " outside any structure of its label");
        }
        break;
      }
      default: break;
    }
  }
  if (!open.empty()) {
    const int first = open.front().line;
    const Line& l = lines[static_cast<std::size_t>(first)];
    const char* end = l.kind == Kind::Sub      ? "endsub"
                      : l.kind == Kind::If     ? "endif"
                      : l.kind == Kind::While  ? "endwhile"
                      : l.kind == Kind::Do     ? "while"
                      : l.kind == Kind::Repeat ? "endrepeat"
                                               : "END";
    stopAt(first, "opens " + describe(first) + " that no " + end + " closes");
  }
}

void MacroProgram::State::Index() {
  // LinuxCNC's o-words and named parameters tell its dialect, and so does its file ending for a
  // program with numbered parameters alone.
  std::string ending = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
  for (char& c : ending) c = Upper(c);
  dialect = linuxCncSeen || ending == ".NGC" ? MacroDialect::LinuxCnc : MacroDialect::Industrial;
  programOf.assign(lines.size(), -1);
  int program = -1;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    const Line& l = lines[static_cast<std::size_t>(i)];
    if (l.kind == Kind::Program) {
      program = i;
      programs.try_emplace(l.label, i);
    }
    programOf[static_cast<std::size_t>(i)] = program;
    if (l.n >= 0) nLabels.try_emplace({program, l.n}, i);
  }
  Pair();
}

int MacroProgram::State::ParameterNumber(double value) const {
  const double whole = std::round(value);
  if (std::abs(value - whole) > kWholeTolerance) {
    Refuse("names the variable #" + NumberText(value) + ", which is not a whole number");
  }
  if (!(std::abs(whole) <= 1e9)) Refuse("names a variable with a huge number");
  return static_cast<int>(whole);
}

double MacroProgram::State::Get(int n) const {
  if (dialect == MacroDialect::Industrial) {
    if (n == 0) return 0;  // #0 is always empty
    if (n >= 1 && n <= kIndustrialLocals) {
      return locals[static_cast<std::size_t>(frames.back().locals)][static_cast<std::size_t>(n)];
    }
    if (n >= 100 && n <= 999) return globals[static_cast<std::size_t>(n)];
    Refuse("reads the variable #" + std::to_string(n) +
           ", which this reader does not hold (it holds #0, #1-#33 and #100-#999)");
  }
  if (n >= 1 && n <= kLinuxCncLocals) {
    return locals[static_cast<std::size_t>(frames.back().locals)][static_cast<std::size_t>(n)];
  }
  if (n > kLinuxCncLocals && n <= kMaxGlobal) return globals[static_cast<std::size_t>(n)];
  Refuse("reads the parameter #" + std::to_string(n) +
         ", which this reader does not hold (it holds #1-#5399)");
}

void MacroProgram::State::Set(int n, double value, const Line& line) {
  if (!std::isfinite(value)) Refuse("sets a variable to a number too large to hold");
  if (dialect == MacroDialect::Industrial) {
    if (n == kAlarmVariable) {
      std::string why = "stops with the alarm " + NumberText(value);
      const std::string_view message = CommentOf(line);
      Stop(message.empty() ? why : why + ": " + std::string(message));
    }
    if (n >= 1 && n <= kIndustrialLocals) {
      locals[static_cast<std::size_t>(frames.back().locals)][static_cast<std::size_t>(n)] = value;
      return;
    }
    if (n >= 100 && n <= 999) {
      globals[static_cast<std::size_t>(n)] = value;
      return;
    }
    Refuse("sets the variable #" + std::to_string(n) +
           ", which this reader does not hold (it holds #1-#33, #100-#999 and the alarm #3000)");
  }
  if (n >= 1 && n <= kLinuxCncLocals) {
    locals[static_cast<std::size_t>(frames.back().locals)][static_cast<std::size_t>(n)] = value;
    return;
  }
  if (n > kLinuxCncLocals && n <= kMaxGlobal) {
    globals[static_cast<std::size_t>(n)] = value;
    return;
  }
  Refuse("sets the parameter #" + std::to_string(n) +
         ", which this reader does not hold (it holds #1-#5399)");
}

bool MacroProgram::State::HasNamed(std::string_view n) const {
  if (n.starts_with("_")) return globalNamed.find(n) != globalNamed.end();
  const auto& named = frames.back().named;
  return named.find(n) != named.end();
}

double MacroProgram::State::GetNamed(std::string_view n) const {
  const auto& named = n.starts_with("_") ? globalNamed : frames.back().named;
  const auto found = named.find(n);
  if (found == named.end()) Refuse("reads the parameter #<" + std::string(n) + ">, which is not set");
  return found->second;
}

void MacroProgram::State::SetNamed(const std::string& n, double value) {
  if (!std::isfinite(value)) Refuse("sets a parameter to a number too large to hold");
  auto& named = n.starts_with("_") ? globalNamed : frames.back().named;
  auto [found, added] = named.try_emplace(n, value);
  if (!added) {
    found->second = value;
    return;
  }
  if (++namedCount > kMaxNamedParameters) {
    Refuse("sets more than " + std::to_string(kMaxNamedParameters) + " named parameters");
  }
}

void MacroProgram::State::Start() {
  Index();
  frames.clear();
  locals.assign(1, {});
  frames.push_back({});
  frames.back().returnTo = static_cast<int>(lines.size());
  globalNamed["_VALUE"] = 0;
  globalNamed["_VALUE_RETURNED"] = 0;
  for (const MacroPreset& preset : presets) {
    const bool known = dialect == MacroDialect::Industrial
                           ? (preset.number >= 100 && preset.number <= 999)
                           : (preset.number >= 1 && preset.number <= kMaxGlobal);
    if (!known) {
      std::string message = "The variable #";
      AppendInteger(message, preset.number);
      message += dialect == MacroDialect::Industrial
                     ? " cannot be given to the program '" + name +
                           "': its controls keep #100-#999"
                     : " cannot be given to the program '" + name +
                           "': LinuxCNC's parameters are #1-#5399";
      throw Error(message);
    }
    if (preset.number <= kLinuxCncLocals) {
      locals[0][static_cast<std::size_t>(preset.number)] = preset.value;
    } else {
      globals[static_cast<std::size_t>(preset.number)] = preset.value;
    }
  }
}

int MacroProgram::State::GotoLabel(std::int64_t n) const {
  const auto found = nLabels.find({programOf[static_cast<std::size_t>(current)], n});
  if (found == nLabels.end()) {
    std::string why = "jumps to the block N" + std::to_string(n) + ", which its program does not hold";
    if (lines.front().number > 1) {
      // The lines before the first macro line were read as plain moves and not kept.
      why += " from line " + std::to_string(lines.front().number) +
             " on, where its macro statements begin";
    }
    Refuse(why);
  }
  return found->second;
}

int MacroProgram::State::Call(int at, int target, std::int64_t repeats, bool newLocals) {
  if (static_cast<int>(frames.size()) > limits.callDepth) {
    Refuse("calls subprograms more than " + std::to_string(limits.callDepth) +
           " deep (a subprogram that calls itself without end?)");
  }
  Frame frame;
  frame.returnTo = at + 1;
  frame.start = target + 1;
  frame.repeats = repeats;
  frame.program = target;
  frame.locals = frames.back().locals;
  if (newLocals) {
    locals.push_back({});
    frame.locals = static_cast<int>(locals.size()) - 1;
  }
  frames.push_back(std::move(frame));
  return target + 1;
}

int MacroProgram::State::Return(bool& ended) {
  Frame& frame = frames.back();
  if (frames.size() == 1) {
    ended = true;  // M99 in the main program: the control starts it again; the reading ends
    return static_cast<int>(lines.size());
  }
  if (--frame.repeats > 0) return frame.start;
  const int back = frame.returnTo;
  const bool own = frames.size() >= 2 && frame.locals != frames[frames.size() - 2].locals;
  frames.pop_back();
  if (own) locals.pop_back();
  return back;
}

// After a failing `if` or `elseif`: the next branch whose condition holds, an else, or the end.
int MacroProgram::State::SkipIf(int at) {
  for (;;) {
    const int next = lines[static_cast<std::size_t>(at)].partner;
    const Line& l = lines[static_cast<std::size_t>(next)];
    if (l.kind != Kind::ElseIf) return next + 1;
    number = l.number;
    if (++blocks > limits.blocks) return next;  // refused by the caller's count
    Expression condition(TextOf(l), l.rest, dialect, this);
    if (condition.Value() != 0) return next + 1;
    at = next;
  }
}

void MacroProgram::State::Execute(const MacroBlockVisitor& visit) {
  int at = 0;
  bool ended = false;
  const int end = static_cast<int>(lines.size());
  while (at < end && !ended) {
    const Line& line = lines[static_cast<std::size_t>(at)];
    number = line.number;
    current = at;
    if (++blocks > limits.blocks) {
      Stop("cannot be run: the program has run " + std::to_string(limits.blocks) +
           " blocks, more than a program that ends runs (an endless loop?)");
    }
    try {
      at = Step(at, visit, ended);
    } catch (const Fault& fault) {
      Stop(fault.why);
    }
  }
  if (!ended && frames.size() > 1) {
    number = lines.back().number;
    const Line& sub = lines[static_cast<std::size_t>(frames.back().program)];
    std::string why = "ends the program inside the subprogram O";
    AppendInteger(why, sub.label);
    Stop(why + " of line " + std::to_string(sub.number) + ", which no M99 closes");
  }
}

int MacroProgram::State::Step(int at, const MacroBlockVisitor& visit, bool& ended) {
  const Line& line = lines[static_cast<std::size_t>(at)];
  const std::string_view t = TextOf(line);
  const auto condition = [&] {
    Expression reader(t, line.rest, dialect, this);
    if (reader.Peek() != '[') Refuse("lacks the '[' condition of its " + std::string(KindWord(line.kind)));
    return reader.Value() != 0;
  };
  switch (line.kind) {
    case Kind::Percent: return at + 1;
    case Kind::Program:
      // The next program begins: the main program or the subprogram that runs into it ends.
      if (frames.size() == 1) {
        if (at == 0) return at + 1;
        ended = true;
        return at;
      }
      Refuse("begins the program O" + std::to_string(line.label) +
             " while a subprogram runs that no M99 closes");
    case Kind::Sub: return line.partner + 1;  // a definition is passed over
    case Kind::EndSub:
    case Kind::Return: {
      if (frames.size() == 1 || lines[static_cast<std::size_t>(frames.back().program)].label != line.label) {
        Refuse("returns from a subroutine that is not running");
      }
      Expression reader(t, line.rest, dialect, this);
      const bool value = reader.Peek() == '[';
      if (value) globalNamed["_VALUE"] = reader.Value();
      globalNamed["_VALUE_RETURNED"] = value ? 1 : 0;
      return Return(ended);
    }
    case Kind::Call: {
      const auto found = subs.find(CalledLabel(line));
      if (found == subs.end()) {
        Refuse("calls the subroutine '" + labels[static_cast<std::size_t>(CalledLabel(line))] +
               "', which the program does not define");
      }
      Expression reader(t, line.rest, dialect, this);
      std::array<double, kIndustrialLocals + 1> arguments{};
      std::size_t count = 0;
      while (!reader.AtEnd()) {
        if (count >= kMaxCallArguments) Refuse("gives a call more than 30 arguments");
        arguments[++count] = reader.Value();
      }
      const int next = Call(at, found->second, 1, true);
      locals.back() = arguments;
      globalNamed["_VALUE_RETURNED"] = 0;
      return next;
    }
    case Kind::If: return condition() ? at + 1 : SkipIf(at);
    case Kind::ElseIf:
    case Kind::Else: {
      // Reached from the branch before it, which ran: on after the endif.
      int end = at;
      while (lines[static_cast<std::size_t>(end)].kind != Kind::EndIf) {
        end = lines[static_cast<std::size_t>(end)].partner;
      }
      return end + 1;
    }
    case Kind::EndIf: return at + 1;
    case Kind::While:
      if (line.partner >= 0 && line.partner < at) {
        return condition() ? line.partner + 1 : at + 1;  // the end of a do loop
      }
      return condition() ? at + 1 : line.partner + 1;
    case Kind::EndWhile: return line.partner;
    case Kind::Do: return at + 1;
    case Kind::Repeat: {
      auto& left = frames.back().repeatLeft;
      auto found = left.find(at);
      if (found == left.end()) {
        Expression reader(t, line.rest, dialect, this);
        const double times = reader.Value();
        found = left.emplace(at, static_cast<std::int64_t>(std::clamp(times, 0.0, 1e15))).first;
      }
      if (found->second <= 0) {
        left.erase(found);
        return line.partner + 1;
      }
      --found->second;
      return at + 1;
    }
    case Kind::EndRepeat: return line.partner;
    case Kind::Break: {
      const int loop = loopOf[static_cast<std::size_t>(at)];
      frames.back().repeatLeft.erase(loop);
      return lines[static_cast<std::size_t>(loop)].partner + 1;
    }
    case Kind::Continue: {
      const int loop = loopOf[static_cast<std::size_t>(at)];
      const Line& l = lines[static_cast<std::size_t>(loop)];
      // A do loop goes on at its test; a while loop and a repeat at their head.
      return l.kind == Kind::Do ? l.partner : loop;
    }
    case Kind::WhileDo: return condition() ? at + 1 : line.partner + 1;
    case Kind::EndDo: return line.partner;
    case Kind::Plain: break;
  }
  return RunBlock(at, t.substr(line.rest), visit, ended);
}

int MacroProgram::State::CalledLabel(const Line& line) {
  if (line.label != kWorkedOutLabel) return line.label;
  Expression reader(TextOf(line), line.labelAt, dialect, this);
  const double value = reader.Value();
  if (!(std::abs(value - std::round(value)) < 1e-6) || value < 0 || value > 99999) {
    Refuse("calls a subroutine by a number that is no whole number from 0 to 99999");
  }
  std::string label;
  AppendInteger(label, static_cast<long long>(std::llround(value)));
  const auto found = labelIndex.find(label);
  if (found == labelIndex.end()) {
    Refuse("calls the subroutine '" + label + "', which the program does not define");
  }
  return found->second;
}

int MacroProgram::State::RunBlock(int at, std::string_view body, const MacroBlockVisitor& visit,
                                  bool& ended) {
  const Line& line = lines[static_cast<std::size_t>(at)];
  const std::string_view t = TextOf(line);
  std::size_t start = line.rest;
  if (body.starts_with("O")) {
    Refuse("holds an o-word without sub, call, if, while or another keyword after its label");
  }
  const std::string_view comment = CommentOf(line);
  if (dialect == MacroDialect::LinuxCnc && comment.size() >= 6) {
    std::string head;
    for (const char c : comment.substr(0, 6)) head += Upper(c);
    if (head == "ABORT,") {
      std::string_view message = comment.substr(6);
      while (!message.empty() && (message.front() == ' ' || message.front() == '\t')) {
        message.remove_prefix(1);
      }
      Stop("stops the program: " + std::string(message));
    }
  }
  if (body.starts_with("IF[")) {
    Expression reader(t, start + 2, dialect, this);
    const bool holds = reader.Value() != 0;
    if (reader.Take("GOTO")) {
      const double target = reader.Value();
      if (!reader.AtEnd()) Refuse("goes on after the label of its GOTO");
      return holds ? GotoLabel(ParameterNumber(target)) : at + 1;
    }
    if (!reader.Take("THEN")) Refuse("lacks GOTO or THEN after the condition of its IF");
    if (!holds) return at + 1;
    start = reader.At();
  } else if (body.starts_with("GOTO")) {
    Expression reader(t, start + 4, dialect, this);
    const double target = reader.Value();
    if (!reader.AtEnd()) Refuse("goes on after the label of its GOTO");
    return GotoLabel(ParameterNumber(target));
  }
  words.clear();
  pending.clear();
  Expression reader(t, start, dialect, this);
  while (!reader.AtEnd()) {
    const char c = reader.Peek();
    if (c == '#') {
      reader.Take("#");
      Pending p;
      if (reader.Peek() == '<') {
        p.named = true;
        p.name = reader.Name();
      } else {
        p.number = ParameterNumber(reader.Value());
      }
      reader.Expect('=', "the '=' of its variable setting");
      p.value = reader.Full();
      pending.push_back(std::move(p));
      continue;
    }
    reader.Skip();
    if (!IsLetter(c)) continue;  // passed over, as in a plain block
    const char next = reader.Peek();
    if (IsLetter(next) || reader.AtEnd()) continue;  // an address of the control alone
    words.push_back({c, reader.Value()});
  }
  for (const Pending& p : pending) {
    if (p.named) SetNamed(p.name, p.value);
    else Set(p.number, p.value, line);
  }
  // The words that call, return and end; the others go to the reader.
  std::optional<double> p, l, m;
  bool g65 = false;
  for (const MacroWord& w : words) {
    if (w.letter == 'P' && !p) p = w.value;
    if (w.letter == 'L' && !l) l = w.value;
    if (w.letter == 'G' && w.value == 65) g65 = true;
    if (w.letter == 'M' && (w.value == 98 || w.value == 99 || w.value == 2 || w.value == 30)) m = w.value;
  }
  if (g65 || (m && (*m == 98))) {
    if (!p) Refuse(g65 ? "calls G65 without the P of its program" : "calls M98 without the P of its program");
    std::int64_t program = static_cast<std::int64_t>(std::max(0.0, std::min(*p, 1e9)));
    std::int64_t repeats = l ? static_cast<std::int64_t>(std::clamp(*l, 0.0, 1e9)) : 1;
    // M98 P0031000: three times O1000.
    if (!g65 && !l && program >= 10000) {
      repeats = program / 10000;
      program %= 10000;
    }
    const auto found = programs.find(program);
    if (found == programs.end()) {
      Refuse("calls the program O" + std::to_string(program) + ", which the file does not hold");
    }
    if (!g65) {
      std::vector<MacroWord> rest;
      for (const MacroWord& w : words) {
        if (w.letter != 'P' && w.letter != 'L' && !(w.letter == 'M' && w.value == 98)) rest.push_back(w);
      }
      if (!rest.empty() && visit) visit(rest, line.number);
    }
    if (repeats == 0) return at + 1;
    std::array<double, kIndustrialLocals + 1> arguments{};
    if (g65) {
      for (const MacroWord& w : words) {
        const std::size_t slot = kArgumentLetters.find(w.letter);
        if (w.letter != '\0' && slot != std::string_view::npos) arguments[slot + 1] = w.value;
      }
    }
    const int next = Call(at, found->second, repeats, g65);
    if (g65) locals.back() = arguments;
    return next;
  }
  if (m && *m == 99) {
    std::optional<double> target = p;
    const int back = Return(ended);
    if (target && !ended) {
      current = back - 1;  // the block N of the program returned to
      return GotoLabel(ParameterNumber(*target));
    }
    return back;
  }
  if (!words.empty() && visit) visit(words, line.number);
  if (m && (*m == 2 || *m == 30)) {
    ended = true;
    return static_cast<int>(lines.size());
  }
  return at + 1;
}

void MacroProgram::Run(const MacroBlockVisitor& visit) {
  State& s = *m_state;
  s.blocks = 0;
  s.Start();
  s.Execute(visit);
}

}  // namespace stylor
