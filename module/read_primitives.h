// Big-endian number and module-string readers over a stdio file.
// A short read leaves feof/ferror set on the file; callers check them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

uint16_t readU16BE(FILE* file);
uint32_t readU32BE(FILE* file);
// Reads count UTF-16 big-endian units; stops early at the end of the file.
std::wstring readString(int count, FILE* file);
// Reads a u32 Unix time stamp and converts it to local calendar time.
std::tm readTime(FILE* file);
