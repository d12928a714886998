#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobHost;

/// prefix, the number in decimal padded with leading zeros to `digits` characters (0: no
/// padding; the width counts a minus sign; a longer number is never cut), suffix.
std::string FormatSerial(int digits, std::int32_t number, std::string_view prefix,
                         std::string_view suffix);

/// The "Generate Sequences" job: one block per number ("N" line, the lines before, the engraved
/// serial text, the lines after) into one program file or one file per number. Throws Error;
/// writes nothing when a field does not convert, the arc radius gives no step, or the user
/// cancels; a file that cannot be written stops the run, and the files before it stay whole.
void GenerateSequences(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// The example label (UTF-8, as the window shows it): the twelfth number of the run, start +
/// 11 x step as typed, worked out in 64 bits so that it never wraps round. Throws the
/// integer conversion message when SeqStart, SeqStep or SeqDigits does not convert.
std::string SequenceExample(const EngraveSettings& settings);

}  // namespace stylor
