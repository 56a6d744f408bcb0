// How a number token reads, on every system the module runs on: the table
// that the Linux command tests and the Windows test runner both check. Values
// are written out as the exact doubles expected (hexadecimal where the
// decimal would hide a rounding step).
#ifndef TESSELIN_NUMBER_READING_CASES_H
#define TESSELIN_NUMBER_READING_CASES_H

#include <math.h>

struct NumberReadingCase {
    const char *token;
    double value; // NAN: any not-a-number
};

static const NumberReadingCase NumberReadingCases[] = {
    // Plain decimals, signs, exponents, and reading as far as a number goes.
    {"42", 42.0},
    {"+7", 7.0},
    {"-3.25", -3.25},
    {".5", 0.5},
    {"5.", 5.0},
    {"2.5e3", 2500.0},
    {"2.5E-2", 0x1.999999999999ap-6},
    {"1e", 1.0},
    {"1,5", 1.0},
    {"1.5abc", 1.5},
    {"  42", 42.0},
    {"\t-8", -8.0},
    // No number at all reads as 0.
    {"", 0.0},
    {"abc", 0.0},
    {"-", 0.0},
    {".", 0.0},
    {"e5", 0.0},
    // Hexadecimal, with and without a binary exponent.
    {"0x1A", 26.0},
    {"-0X10", -16.0},
    {"0x1p-3", 0.125},
    {"0x.8", 0.5},
    {"0x", 0.0},
    {"0xg", 0.0},
    // Infinities and not-a-number, in any case, read as far as they go.
    {"inf", INFINITY},
    {"-Infinity", -INFINITY},
    {"INF", INFINITY},
    {"infinite", INFINITY},
    {"nan", NAN},
    {"-NaN", NAN},
    {"nan(1)", NAN},
    // Beyond the range of a double.
    {"1e400", INFINITY},
    {"-1e400", -INFINITY},
    {"1e-400", 0.0},
    {"4e-320", 0x0.0000000001fa0p-1022},
    // Correct rounding: the nearest double, ties to even.
    {"0.1", 0x1.999999999999ap-4},
    {"9007199254740993", 9007199254740992.0},
    {"1.00000000000000011102230246251565404236316680908203125", 1.0},
    {"1.000000000000000111022302462515654042363166809082031251", 0x1.0000000000001p+0},
    {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
    {"179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497791.9999999999", 0x1.fffffffffffffp+1023},
};

#endif
