#pragma once

// Each figure is measured by one function in a bench_*.cpp file and listed in main.cpp.
// A function builds its own data, checks that the work really happened, and returns the value.

double yencDecodeMBps();
double crc32MBps();
double crc32CachedMBps();
double xzverDecodeInflateMBps();

// The spot list over a generated store of millions spots, in milliseconds: through the
// controller and SpotsModel, or (CApi) the same statements through SQLite's C API.
enum class SpotListStep { WindowAtOffset0, WindowAtOffset900000, CountCategory, SearchRare, SearchCommon, StartupToFirstRows };
enum class SpotListPath { Model, CApi };
double spotListMs(int millions, SpotListStep step, SpotListPath path);
template<int millions, SpotListStep step, SpotListPath path>
double spotListMs()
{
    return spotListMs(millions, step, path);
}
