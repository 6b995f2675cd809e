// The figure of "Find Controller": parallel ports against one port, and the
// time to the first find.
#pragma once

// Prints its lines on standard output.
void printScanFigure();
