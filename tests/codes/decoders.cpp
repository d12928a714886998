#include "decoders.h"

#include <sys/wait.h>

#include <cstdio>
#include <set>

#include "settings/text8.h"

namespace stylor::test {

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int code = pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
  return out;
}

std::string DecodePicture(CodeSymbology symbology, const std::string& pngPath, int shrink) {
  std::string out;
  if (symbology == CodeSymbology::DataMatrix) {
    // -U: bytes above 127 as UTF-8; -G29: FNC1 as the group separator; -N1: the first symbol.
    out = RunCommand("timeout 20 dmtxread -U -N1 -G29 -m 15000 -S " + std::to_string(shrink) +
                     " '" + pngPath + "' 2>/dev/null");
  } else {
    out = RunCommand("timeout 20 zbarimg --nodbus -q --raw -Sdisable -Sqrcode.enable '" + pngPath +
                     "' 2>/dev/null");
    if (!out.empty() && out.back() == '\n') out.pop_back();
  }
  return out;
}

std::string ExpectedDecoding(const CodeRequest& request) {
  if (!request.gs1) return From8Bit(request.content);
  // "(01)0950...(21)ABC": the identifiers without their parentheses, and a separator after a
  // field of variable length that another follows. The fixed-length identifiers are those that
  // part marking uses here.
  std::string out = "\x1d";  // the FNC1 that marks GS1 data
  std::size_t pos = 0;
  const std::string& s = request.content;
  while (pos < s.size() && s[pos] == '(') {
    const std::size_t close = s.find(')', pos);
    const std::string ai = s.substr(pos + 1, close - pos - 1);
    const std::size_t next = s.find('(', close);
    const std::string data = s.substr(close + 1, next == std::string::npos ? std::string::npos : next - close - 1);
    out += ai + data;
    static const std::set<std::string> kFixed = {"00", "01", "02", "11", "12", "13",
                                                 "15", "16", "17", "20"};
    const bool fixed = kFixed.count(ai) != 0;
    if (next != std::string::npos && !fixed) out += '\x1d';
    pos = next == std::string::npos ? s.size() : next;
  }
  return out;
}

}  // namespace stylor::test
