#pragma once
// The benchmark's sections; each adds its figures to the table.
#include "harness.h"
#include "measure.h"

namespace bench {

void TickFigures(const Options& options, Table& table);
void LateBoundFigures(const Options& options, Table& table);
void RegistryFigures(const Options& options, Table& table);  // additions, lookups, memory
void MonitorFigures(const Options& options, Table& table);

}  // namespace bench
