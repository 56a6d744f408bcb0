// The number-reading table on Windows: atof as the module links it (with
// platform/win32/number_reading.cpp in place of the C runtime's) must read
// every token as on Linux. Prints each mismatch; exit status 1 when any.
#include "tests/shared/number_reading_cases.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main()
{
    int failures = 0, count = 0;
    for (const auto &c : NumberReadingCases) {
        double got = std::atof(c.token);
        bool same = std::isnan(c.value) ? std::isnan(got) : std::memcmp(&got, &c.value, sizeof got) == 0;
        count++;
        if (!same) {
            std::printf("\"%s\" read as %a, not %a\n", c.token, got, c.value);
            failures++;
        }
    }
    std::printf("%d of %d number tokens read as on Linux\n", count - failures, count);
    return failures ? 1 : 0;
}
