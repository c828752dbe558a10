// Reading a text file line by line the way the Windows C runtime's fgets does
// in text mode: a CR LF pair reads as one LF.
#pragma once

#include <cstdio>

// Reads at most count - 1 characters into buffer, stopping after a line feed,
// which is kept; NUL-terminates. Returns buffer, or nullptr when nothing was
// left to read.
char* readTextLine(char* buffer, int count, FILE* file);
