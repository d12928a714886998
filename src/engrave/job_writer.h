#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/framing.h"

namespace stylor {

class JobHost;
class ProgramSink;

/// Writes the body of one program (its moves and lines, "\n" line ends) to a sink. Throws Error
/// when a value cannot be written; the program file is then left as it was.
using BodyWriter = std::function<void(ProgramSink&)>;

/// The reason RequireSomethingToWrite gives for a job whose text is empty.
constexpr std::string_view kNoText = "the text is empty and no start or end block is written";

/// Throws "Nothing to engrave: <reason>" when the frame writes no block, for a job whose body
/// is empty: such a program would hold 0 bytes. A job that writes only its blocks (closing an
/// append job, say) is allowed.
void RequireSomethingToWrite(const ProgramFrame& frame, std::string_view reason);

/// The one way a job reaches its program file: asks the host for the file, then streams the
/// start block, the body and the end block into it and puts it in place (see ProgramStore).
/// Returns false when the user cancels. A refusal or a write fault leaves the file as it was.
bool WriteFramedProgram(JobHost& host, const ProgramFrame& frame, const BodyWriter& body);

/// A job of many program files (Many Files): the save dialog's preset name, the name of each
/// file inside the folder the user chooses, and the body of each.
struct ProgramSeries {
  std::string presetName;
  std::vector<std::string> fileNames;
  std::function<void(std::size_t, ProgramSink&)> body;
  /// The frame of each file, when the files differ in it; otherwise every file takes the
  /// frame WriteProgramSeries is given.
  std::function<ProgramFrame(std::size_t)> frameOf;
};

/// Asks the host once, then writes each program of the series, framed, into the folder of the
/// chosen path. Every program is complete before any is put in place, so a refusal or a write
/// fault leaves every old file as it was; the renames that put them in place are one series
/// (ProgramStore::CommitSeries). A name of the series that is a symbolic link is refused.
/// Returns false when the user cancels.
bool WriteProgramSeries(JobHost& host, const ProgramFrame& frame, const ProgramSeries& series);

/// The folder part of a chosen path, separator included; empty when the path names no folder.
std::string DirectoryOf(const std::string& path);

/// True when `name` holds a path separator of the platform.
bool HoldsPathSeparator(std::string_view name);

}  // namespace stylor
