#include "survey/command_line.h"

#include <cstdlib>
#include <cstring>

#include "survey/exit_status.h"
#include "survey/messages.h"
#include "unf/parse_decimal.h"
#include "unf/repair.h"

SurveySettings ReadSurveyCommandLine(int argc, char** argv) {
  SurveySettings settings;
  const char* operands[3] = {};
  int count = 0;
  bool options_done = false;
  for (int at = 1; at < argc; ++at) {
    const char* argument = argv[at];
    if (!options_done && std::strcmp(argument, "--") == 0) {
      options_done = true;
    } else if (!options_done && std::strcmp(argument, "--help") == 0) {
      ShowHelp();
      std::exit(kSurveyNothingToRepair);
    } else if (!options_done && std::strcmp(argument, "--version") == 0) {
      ShowVersion();
      std::exit(kSurveyNothingToRepair);
    } else if (!options_done && std::strcmp(argument, "--json") == 0) {
      settings.json = true;
    } else if (!options_done && argument[0] == '-' && argument[1] != '\0' &&
               !(argument[1] >= '0' && argument[1] <= '9')) {
      // "-" alone is standard input, and "-1" a number to check.
      FailUsage("unknown option", argument);
    } else if (count == 3) {
      FailUsage("too many arguments", nullptr);
    } else {
      operands[count++] = argument;
    }
  }
  if (count == 0) {
    FailUsage("no dump named", nullptr);
  }
  if (count == 2) {
    FailUsage("OFFSET without NUMBYTES", nullptr);
  }
  settings.source = operands[0];
  if (count == 3) {
    settings.has_window = true;
    settings.offset = ParseDecimal(operands[1]);
    settings.num_bytes = ParseDecimal(operands[2]);
    if (!WindowFits(settings.offset, settings.num_bytes)) {
      FailRange(settings.offset, settings.num_bytes);
    }
  }
  return settings;
}
