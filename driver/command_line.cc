#include "driver/command_line.h"

#include "driver/messages.h"
#include "unf/parse_decimal.h"

namespace {

constexpr int kPositionalArguments = 4;

// "/D" or "-D", the letter in either case, and nothing more.
bool IsDebugSwitch(const char* argument) {
  return (argument[0] == '/' || argument[0] == '-') &&
         (argument[1] == 'D' || argument[1] == 'd') && argument[2] == '\0';
}

}  // namespace

RunSettings ReadCommandLine(int argc, char** argv) {
  if (argc - 1 < kPositionalArguments) {
    FailUsage();
  }
  RunSettings settings;
  for (int at = 1 + kPositionalArguments; at < argc; ++at) {
    if (IsDebugSwitch(argv[at])) {
      settings.DebugTrace = true;
      ShowDebugEnabled();
    }
  }
  settings.Sourcefile = argv[1];
  settings.Destfile = argv[2];
  settings.Offset = ParseDecimal(argv[3]);
  settings.NumBytes = ParseDecimal(argv[4]);
  return settings;
}
