#pragma once

// Each figure is measured by one function in a bench_*.cpp file and listed in main.cpp.
// A function builds its own data, checks that the work really happened, and returns the value.

double yencDecodeMBps();
double crc32MBps();
double crc32CachedMBps();
double xzverDecodeInflateMBps();
