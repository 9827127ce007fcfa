// Coordinate tables of the plot window: export and import of symbols as text lines
// (x, y, z, label, shape code, colour), and the colour names an import understands.
#pragma once

#include <string>
#include <vector>

#include "ui/plot3d/tplot3d.h"

// One line per symbol, tab-separated, CR LF; coordinates as the shortest text that reads back
// to the same 32-bit value ("C" locale, never fewer digits than the value needs).
std::string ExportCoordText(const std::vector<t3dsymbol>& symbols);

// Reads lines of at least 3 fields. A line holding a tab is split at tabs only (labels may
// then hold spaces and commas); otherwise tabs, spaces, commas and NULs separate. Problems go
// to errors and leave the offending value at its default; the import goes on.
std::vector<t3dsymbol> ImportCoordText(const std::string& text, std::vector<std::string>& errors);

// A decimal colour or one of the names BLACK, WHITE, GREEN, BLUE, MAGENTA, CYAN, GREY, ORANGE,
// RED, YELLOW, LGREEN, OLIVE (any case); anything else is black.
TPlotColour ParseColourField(const std::string& field);
