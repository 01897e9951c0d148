#pragma once

#include <cstdio>

namespace orvexa {

// "orvexa-cli hpgl FILE [--offset X,Y]" (argv[1] is "hpgl"): reads the plot file as the Doming
// window does and prints its command table, one row per line ("UP", "DOWN", "STIFT n",
// "MOVETO x y", "LINTETO x y" in millimetres with six decimals), then "EXTENT xmin ymin xmax
// ymax". A file the reader refuses gives "FAIL " and the first line of its message. Exit
// status 0 when read, 2 for a refused file or a bad command line.
int Hpgl_Befehl(int argc, char** argv);
// The same with the streams given.
int Hpgl_Befehl(int argc, char** argv, std::FILE* aus, std::FILE* fehler);

} // namespace orvexa
