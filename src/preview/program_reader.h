#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"
#include "engrave/prepared_job.h"
#include "preview/macro_program.h"
#include "settings/engrave_settings.h"
#include "settings/machine_modes.h"

namespace stylor {

struct EngraveSettings;

/// Longest program line the reader takes; a longer one means the file is no G-code program.
constexpr std::size_t kMaxProgramLine = 4096;
/// Largest program file the reader takes (64 MiB, some two and a half million moves).
constexpr std::size_t kMaxProgramBytes = std::size_t{64} << 20;

/// What the numbers of a program mean, as for writing a job: axis letters, pen levels, modes;
/// and for a program with macro statements, the values its variables start from and how far it
/// may run.
struct ReaderOptions : MachineAxes {
  ReaderOptions() = default;
  ReaderOptions(const MachineAxes& axes) : MachineAxes(axes) {}  // NOLINT: read as the axes
  std::vector<MacroPreset> variables;  // kept variables (#500-#999) or parameters; others 0
  MacroLimits macroLimits;
  friend bool operator==(const ReaderOptions&, const ReaderOptions&) = default;
};

/// The options of the settings' axis letters, pen levels, feed mode and lathe-mill mode (as
/// ReadMachineAxes reads them). Throws the conversion message when PenUpE or PenDownE does not
/// convert.
ReaderOptions ReaderOptionsFrom(const EngraveSettings& settings);

/// Throws what CheckMachineAxes throws: the options cannot read a program back that a job could
/// not write.
void CheckReaderOptions(const ReaderOptions& options);

/// True when the options' plane letter is a rotary axis written in degrees (A, B, C outside the
/// Mazak G12.1 modes).
bool UnrollsDegrees(const ReaderOptions& options, char letter);

/// What a move does with the tool.
enum class MoveKind {
  Rapid,   // G00 move in the plane
  Cut,     // feed move in the plane with the tool down
  Travel,  // feed move in the plane with the tool up (Mazak G07.1 positioning, user lines)
  Plunge,  // move of the plunge axis alone that leaves the tool down
  Lift,    // move of the plunge axis alone that leaves the tool up
};

/// One move of a program that starts from a known place in the plane.
struct ProgramMove {
  MoveKind kind = MoveKind::Rapid;
  bool fed = false;                // G01, G02, G03 rather than G00
  Point2 from;                     // plane, machine lengths (rotary degrees unrolled)
  Point2 to;
  double fromLevel = 0;            // plunge axis
  double toLevel = 0;
  double length = 0;               // along the plane and the plunge axis together (a helix)
  bool arc = false;                // G02/G03 in the plane: from `from` round `centre` to `to`
  Point2 centre;
  double sweep = 0;                // radians turned, counter-clockwise in the plane positive
  std::optional<double> minutes;   // fed moves whose F times them; rapids have none
  std::int64_t line = 0;           // 1 for the first line
};

/// Most chords an arc is drawn with.
constexpr int kMaxArcChords = 256;

/// The points of a move as drawn, `from` first and `to` last: two for a straight move, the ends
/// of at most kMaxArcChords chords for an arc, one every 2.8 degrees or so.
std::vector<Point2> MovePoints(const ProgramMove& move);

/// Lowest and highest value written on one axis letter by the moves of a program.
struct AxisExtent {
  char letter = 0;
  double min = 0;
  double max = 0;
  friend bool operator==(const AxisExtent&, const AxisExtent&) = default;
};

/// What a whole program held besides its moves.
struct ProgramSummary {
  std::int64_t lines = 0;
  std::int64_t unreadLines = 0;        // macro lines and words whose number does not read
  std::optional<Point2> start;         // first place in the plane that the program reaches
  std::vector<AxisExtent> extents;     // plane, plunge, then other letters in alphabetical order
};

/// Receives each move of a program in order.
using MoveVisitor = std::function<void(const ProgramMove&)>;

/// Reads G-code as Stylor writes it, line by line, keeping the modal state: G00/G01/G02/G03,
/// G90/G91, F, a position per axis letter. Arcs are read in the plane of Axis 1 and Axis 2 when
/// both are X, Y or Z, by their centre offsets (I, J, K along X, Y, Z, from the start) or by R
/// (negative for the arc beyond a half turn); with another plane letter an arc is taken as its
/// chord. Lines that move nothing (N
/// lines, M words, mode switches such as G12.1 or G16 whose axis words are parameters, comments,
/// the user's block lines) are counted and skipped.
///
/// From the first line with a macro statement on (a variable #, an expression [ ], an o-word,
/// M98, M99, G65, GOTO) the lines are kept and run by a MacroProgram once all are read (Finish):
/// its blocks, their variables worked out, make the moves.
class ProgramReader {
 public:
  /// Throws what CheckReaderOptions throws. `name` names the program in the messages of
  /// ReadLine ("Line 2 of the program 'p.eia' ..."); without one they name the line alone.
  explicit ProgramReader(const ReaderOptions& options, std::string name = {});

  /// Reads one line (line end removed, at most kMaxProgramLine characters) and returns the move
  /// it makes from a known place in the plane, if any. Throws Error naming the line when it gives
  /// an axis or the feed twice, or an arc that cannot be: no centre offsets and no R, both, an
  /// R shorter than half the chord, ends at different distances from the centre.
  std::optional<ProgramMove> ReadLine(std::string_view line);

  /// Runs the macro program kept since its first macro line, if any, handing each move to
  /// `visit`; call it once the last line is read. Throws what MacroProgram::Run throws.
  void Finish(const MoveVisitor& visit);

  /// The counts, start point and extents so far.
  ProgramSummary Summary() const;

 private:
  enum class LineKind { Plain, Unread, Macro };
  struct LineWords;
  // One reader a kind of word: an axis, an address given once a line (F, R, I, J, K), a G code.
  void ReadAxisWord(LineWords& words, int slot, char letter, double value) const;
  void ReadAddressWord(std::optional<double>& word, char letter, double value) const;
  static void ReadGWord(LineWords& words, double value);
  // The words of a line: Unread for a line whose numbers do not read, Macro for one that only
  // the macro program can run.
  LineKind ReadWords(std::string_view line, LineWords& words) const;
  void TakeWord(LineWords& words, int role, char letter, double value) const;
  // A block that the macro program worked out, on line `line` of the file.
  std::optional<ProgramMove> ReadMadeWords(std::span<const MacroWord> made, std::int64_t line);
  // The axes' new places; true when one of the job's three axes was given.
  bool MoveAxes(const LineWords& words);
  std::optional<ProgramMove> MoveOf(const LineWords& words);
  Point2 ArcCentre(const LineWords& words, Point2 from, Point2 to, bool ccw) const;
  void MakeArc(const LineWords& words, ProgramMove& move) const;

  std::string LinePlace() const;
  [[noreturn]] void RefuseRepeatedWord(char letter) const;
  [[noreturn]] void RefuseArc(const char* why) const;
  struct Axis {
    bool known = false;
    double value = 0;  // as written (degrees on rotary axes)
    bool seen = false;
    double min = 0;
    double max = 0;
  };

  double Unrolled(bool unrolls, double written) const;
  bool IsDown(double level) const;
  void TrackBeam(std::string_view line);
  void TrackMadeBeam(std::span<const MacroWord> made);
  void StartMacro(std::string_view line);
  void Record(unsigned char letter, double value);
  std::optional<double> Minutes(bool lineHasFeed, double length, double turnedLength) const;

  ReaderOptions m_options;
  std::string m_name;
  double m_circumference;
  bool m_unrolls1 = false;  // Axis 1 and Axis 2 words are degrees unrolled on the cylinder
  bool m_unrolls2 = false;
  DegreesAxis m_degreesAxis;
  std::array<std::int8_t, 256> m_roleOf{};  // slot of an axis letter, or G, F, nothing
  std::array<Axis, 256> m_axes{};
  int m_motion = 0;          // 0 rapid, 1 feed, 2 clockwise arc, 3 counter-clockwise arc
  bool m_arcPlane = false;   // Axis 1 and Axis 2 are both X, Y or Z
  bool m_leftHanded = false; // Axis 1, Axis 2 turn the other way than X, Y (Y, X or X, Z)
  std::array<char, 2> m_offsetLetters{};  // I, J or K along Axis 1 and Axis 2
  bool m_incremental = false;
  bool m_beamOn = false;     // laser mode: M3/M4 with S above 0, until M5 or S0
  double m_power = 0;        // laser mode: the last S word
  bool m_spindleOn = false;  // laser mode: M3 or M4 given since the last M5
  std::optional<double> m_feed;
  std::int64_t m_lines = 0;
  std::int64_t m_unreadLines = 0;
  std::optional<Point2> m_start;
  std::unique_ptr<MacroProgram> m_macro;  // the lines from the first macro line on
  std::vector<bool> m_unreadMade;         // lines of the macro program already counted unread
};

/// Reads a whole program text (CR LF or LF line ends), handing each move to `visit`. `name`
/// names the program in messages. Throws Error naming it for a zero byte (binary data) or a line
/// longer than kMaxProgramLine, and what ProgramReader throws.
ProgramSummary ReadProgram(std::string_view bytes, const std::string& name,
                           const ReaderOptions& options, const MoveVisitor& visit);

/// Told how many bytes of how many are read so far, after each piece of a file; may throw to
/// stop the reading.
using ReadProgress = std::function<void(std::size_t done, std::size_t total)>;

/// Reads the program file at `path` as ReadProgram reads its bytes, piece by piece without
/// holding the file whole, naming it by its path. Throws what ReadProgramFile(path) and
/// ReadProgram throw, and what `progress` throws.
ProgramSummary ReadProgramFile(const std::string& path, const ReaderOptions& options,
                               const MoveVisitor& visit, const ReadProgress& progress = {});

/// The bytes of a program file; throws Error naming it when it cannot be read or is larger than
/// kMaxProgramBytes.
std::string ReadProgramFile(const std::string& path);

}  // namespace stylor
