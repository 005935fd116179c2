#include <cstdlib>

#include "unf/exit_status.h"

void EndRun(int status) { std::exit(status); }
