#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A plain script of about `size` bytes, as pg_dump would write it, with a mix that keeps
// the scanner busy at every window edge: runs of short statements (two on a line, quoted
// semicolons, dollar-quoted bodies, comments, trailing blanks, INSERTs) between COPY
// sections of rows of random length. The last statement ends the file with blanks and no
// line break. seed varies the content.
std::string MakePlainScript(size_t size, uint32_t seed);
