#pragma once

#include "survey/census.h"
#include "survey/fields.h"

// The survey's report on standard output: for people, or as one JSON
// object for scripts. `source` is the dump's name as typed.
void PrintReport(const char* source, const Census& census,
                 const Findings& findings);
void PrintJson(const char* source, const Census& census,
               const Findings& findings);

// How many of the most common record lengths a report lists.
inline constexpr std::size_t kCommonLengthsShown = 3;
// Positions a line of the record map shows, in groups of kMapGroup.
inline constexpr int kMapLine = 64;
inline constexpr int kMapGroup = 8;
