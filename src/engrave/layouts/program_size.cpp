#include "engrave/layouts/program_size.h"

#include <sys/statvfs.h>

#include "engrave/job_writer.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {

std::optional<std::uint64_t> FreeBytesFor(const std::string& path) {
  std::string folder = DirectoryOf(path);
  if (folder.empty()) folder = ".";
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
}

std::string ShownSize(std::uint64_t bytes) {
  constexpr struct {
    double size;
    const char* unit;
  } kUnits[] = {{1e12, " TB"}, {1e9, " GB"}, {1e6, " MB"}};
  for (const auto& unit : kUnits) {
    if (static_cast<double>(bytes) >= unit.size) {
      return FormatFixed(static_cast<double>(bytes) / unit.size, 1) + unit.unit;
    }
  }
  std::string shown;
  AppendInteger(shown, static_cast<long long>(bytes));
  return shown + " bytes";
}

void RequireRoom(std::uint64_t estimateBytes, std::optional<std::uint64_t> freeBytes,
                 const std::string& what, const std::string& folder) {
  if (!freeBytes || estimateBytes <= *freeBytes) return;
  throw Error("The program would take about " + ShownSize(estimateBytes) + " (" + what +
              "), but the folder '" + (folder.empty() ? std::string(".") : folder) + "' has " +
              ShownSize(*freeBytes) + " free: make the run shorter or free some space");
}

void RequireRoomFor(std::uint64_t estimateBytes, const std::string& what, const std::string& path) {
  RequireRoom(estimateBytes, FreeBytesFor(path), what, DirectoryOf(path));
}

}  // namespace stylor
