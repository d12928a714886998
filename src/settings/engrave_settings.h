#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace stylor {

using Lines = std::vector<std::string>;

/// Every job parameter, held exactly as the window holds it: texts as typed (UTF-8), memo lines,
/// selected item indices (-1 = nothing selected) and check states. Nothing is converted until a
/// job reads it.
struct EngraveSettings {
  // Text parameters.
  std::string TextHeightE = ".125";
  std::string WidthRatioE = "1";
  std::string SpacingRatioE = "1";
  std::string LineSpacingE = "1.5";
  std::string FontFile = "BasicFont.fnt";
  std::int32_t Justification = 0;
  // Axes.
  std::string Axis1E = "X";
  std::string Axis1StartE = "0";
  std::string TextAngleE = "0";
  std::string Axis2E = "Y";
  std::string Axis2StartE = "0";
  std::string Axis3E = "Z";
  std::string PenDownE = "-.001";
  std::string PenUpE = ".001";
  // Feeds.
  std::string EngraveFeedE = "50";
  std::string PlungeFeedE = "25";
  bool InverseTimeE = false;
  std::int32_t FeedMode = 0;
  // Machine modes and appending.
  std::int32_t IntegrexMode = 0;
  std::int32_t IntegrexHead = 0;
  std::int32_t AppendMode = 0;
  bool PreEngraveW = true;
  bool PostEngraveW = true;
  // Machine G-code blocks.
  Lines PreToolChange;
  Lines ToolChange;
  Lines PostToolChange;
  Lines PostEngrave;
  // Free-form text.
  Lines FreeFormTextE;
  // Circle text.
  std::string RadiusE = "1";
  std::string ArcTextE;
  std::int32_t Direction = 0;
  // Ellipse text.
  std::string AEdit = "4";
  std::string BEdit = "2.5";
  std::string EllipseTextE;
  std::int32_t JustifyPoint = -1;        // index 0 from start-up on
  std::string JustifyPointText = "A";    // what the editable combo box shows
  std::int32_t EllipseDirection = 0;
  // Sequences.
  std::string SeqStart = "1000";
  std::string SeqEnd = "1010";
  std::string SeqStep = "1";
  std::string SeqPrefix;
  std::string SeqPostfix;
  std::string SeqDigits = "0";
  Lines SeqPreGCodes;
  Lines SeqPostGCodes;
  std::int32_t Files = 0;         // 0 One File, 1 Many Files, 2 On the control
  std::string FilePrefix;
  bool PadFileNumbers = false;  // Many Files: numbers of the names to one width, zeros first
  bool UseArcSettings = false;
  // On the control: the dialect of its program, the kept variable that holds the serial and the
  // first subprogram number.
  std::int32_t ControlDialect = 0;
  std::string CounterVariable = "500";
  std::string FirstSubprogram = "8000";
  // Batch: the text job repeated for every row, and the column whose values name the program
  // files of Many Files (empty: row numbers).
  std::int32_t BatchTextKind = 0;
  std::string BatchNameColumn;
  // Marking codes: placeholders filled when a job is written, and where their tables and files
  // are. Off by default: then "{" is an ordinary character.
  bool FillPlaceholders = false;
  std::string ShiftTable;       // "A 06:00, B 14:00, C 22:00"
  std::string YearLetterTable;  // "2008:ABCDEFGHJKLMNPRSTUVWXYZ"; empty: that table
  std::string CountersFile;     // empty: stylor-counters.csv in the working folder
  std::string ProductionLog;    // empty: no log
  bool CodesInUtc = false;      // dates and shifts in UTC, not local time
  std::string SeqCounter;       // the counter a run continues from; empty: SeqStart as typed
  // Advanced (never shown; no job reads it).
  std::string SymAngleE = "0";
  // How strokes are cut: depth in passes, ramped entry, travel order, laser, dots.
  std::string DepthPerPassE = "0";
  bool SpringPass = false;
  std::string RampLengthE = "0";
  std::int32_t TravelOrder = 0;
  std::int32_t LaserMode = 0;
  std::string LaserPowerE = "0";
  std::string DotPitchE = "0";
  std::int32_t DotStyle = 0;
  std::string DotDwellE = "0";
  std::string DotCodesE;
  // Laser extras, read only with a LaserMode.
  std::string LaserPassesE = "1";
  std::string LaserZStepE = "0";
  std::string LaserLeadInE = "0";
  std::int32_t AirAssist = 0;
  // A Data Matrix or QR code cut after the text (CodeKind 0: none).
  std::int32_t CodeKind = 0;
  std::string CodeText;
  std::string CodeModuleE = ".02";
  std::int32_t CodeStyle = 1;
  std::string CodeXE = "0";
  std::string CodeYE = "0";
  std::string CodeAngleE = "0";
  std::string ToolDiameterE = ".015";
  std::string CodeSizeE;
  bool CodeRectangular = false;
  std::int32_t CodeLevel = 1;
  bool CodeGS1 = false;
  bool CodeLightOnDark = false;
  std::string CodeQuietE;
  std::string CodeDwellE = "0.1";

  friend bool operator==(const EngraveSettings&, const EngraveSettings&) = default;
};

using TextField = std::string EngraveSettings::*;
using LinesField = Lines EngraveSettings::*;
using IndexField = std::int32_t EngraveSettings::*;
using StateField = bool EngraveSettings::*;
using FieldRef = std::variant<TextField, LinesField, IndexField, StateField>;

/// How a job reads a text field: as typed, as a real number, or as a whole number.
enum class Reading { Text, Real, Integer };

/// Every fact of one field of the settings, in one row: its name, the item list of an index
/// field and what each item does, its quantity, what it does, the caption of its box in the
/// window, and how a job reads it. The window, the help, the manual and the model's checks all
/// read these rows, so a new field is one more row.
struct FieldInfo {
  std::string_view name;
  FieldRef ref;
  std::span<const std::string_view> items;  // empty for non-index fields
  std::span<const std::string_view> itemMeanings = {};  // what each item does, as items
  std::string_view unit = {};     // "length", "degrees", "feed", "factor"; empty: none
  std::string_view meaning = {};  // what the field does, for the tooltip, help and manual
  std::string_view caption = {};  // the caption of its box in the window
  Reading reading = Reading::Text;
  int readStep = 0;  // the order in which a job reads the number (1 first); 0: not a number
  TextField startOf = nullptr;  // a start value: the axis letter that makes it degrees
};

/// All fields, in the order of the window's groups.
std::span<const FieldInfo> AllFields();

/// The field of that exact name, or nothing.
const FieldInfo* FindField(std::string_view name);

/// The field that `ref` points to (every member of EngraveSettings has one).
const FieldInfo& InfoOf(const FieldRef& ref);

/// Item captions of the index fields.
extern const std::span<const std::string_view> kIntegrexModeItems;
extern const std::span<const std::string_view> kAppendModeItems;

// The closed sets among the index fields, as the jobs read them. The settings keep the item
// indices the window and the machine files hold; a job converts them once.

/// Where a text sits about its point (Justification: "Left", "Center", "Right").
enum class TextAlignment { Left, Centre, Right };
/// Justification 1 centres, 2 aligns right; any other index, nothing selected included, left.
TextAlignment AlignmentOf(std::int32_t justification);
/// How far a text of `width` moves back along its baseline from its point: 0 left aligned,
/// width / 2 centred, the whole width right aligned (as the negative offset).
double AlignmentShift(TextAlignment alignment, double width);

/// Which way text runs around its circle or ellipse ("Clock Wise", "Counter Clock Wise").
enum class Winding { Clockwise, CounterClockwise };
/// Direction of circle text: 0 clockwise, any other index counter-clockwise.
Winding ArcWindingOf(std::int32_t direction);
/// EllipseDirection: 1 counter-clockwise, any other index clockwise.
Winding EllipseWindingOf(std::int32_t direction);

/// What F means (FeedMode: "IPM/MMPM", "Degrees Per Min", "Inverse Time Feed").
enum class FeedRate { PerMinute, DegreesPerMinute, InverseTime };
/// 1 degrees per minute, 2 inverse time; any other index per minute.
FeedRate FeedRateOf(std::int32_t feedMode);

/// The text job a batch repeats for every row of its data file (BatchTextKind: "Free Form
/// Text", "Circle Text", "Ellipse Text").
enum class BatchLayout { FreeFormText, CircleText, EllipseText };
/// The caption of each BatchLayout, in its order: the item of BatchTextKind and the caption of
/// that job's page.
inline constexpr std::array<std::string_view, 3> kBatchLayoutCaptions = {
    "Free Form Text", "Circle Text", "Ellipse Text"};
/// 1 circle text, 2 ellipse text; any other index free-form text.
BatchLayout BatchLayoutOf(std::int32_t batchTextKind);

/// The four steps of building a program from several jobs, in AppendMode's item order.
enum class AppendStep { SingleOperation, StartNewJob, AppendToJob, CloseJob };

/// Whether a run or batch writes a program file per number or row (Files: "One File", "Many
/// Files", "On the control"); index 1 is many.
inline bool ManyFilesOf(std::int32_t files) { return files == 1; }
/// Files index 2: one program that stays in the control and cuts the next number each cycle.
inline bool OnTheControlOf(std::int32_t files) { return files == 2; }

/// The point of the ellipse where its text starts (JustifyPoint: "A" left, "B" top, "C" right,
/// "D" bottom).
enum class EllipsePoint { A, B, C, D };

/// The axis letter of an axis text: the low 8 bits of its first character (the Windows-1252
/// byte of it), 0 when the text is empty.
char ReadLetter(std::string_view axisText);

/// True for the rotary axis letters A, B and C (capitals only).
bool IsRotaryLetter(char letter);

}  // namespace stylor
