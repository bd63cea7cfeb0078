#pragma once
// Small text helpers shared by the whole program: the numeric reading rule ("the leading
// numeric part of the text; text that does not start with a number reads as 0"), trimming,
// and plain decimal writing.
#include <string>
#include <string_view>

namespace corvane {

// Reads the leading number of a text: optional blanks, sign, digits, decimal point, exponent.
// Anything that is not a number (letters, empty, "nan", "inf") reads as 0; never NaN or inf.
double LeadingNumber(std::string_view text);

// Same, rounded to the nearest whole number (halves away from zero), held to the int range.
int LeadingInt(std::string_view text);

std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);
std::string ToUpper(std::string_view text);

// Plain decimal text of a number: no exponent, no trailing zeros after the point
// (1 -> "1", 0.15 -> "0.15", -2 -> "-2"), at most maxDecimals decimals, rounded.
std::string PlainNumber(double value, int maxDecimals = 10);
// Appends value as printf's "%02lld" writes it (at least two digits, zero-padded), without the
// cost of a formatted print: the dates and times of long pass lists are made by the thousand.
void AppendTwoDigits(std::string& out, long long value);

// The program's 8-bit texts (Latin-1: element files, the degree byte 0xB0) as UTF-8, for a
// terminal or JSON.
std::string Latin1ToUtf8(std::string_view latin1);
// True for the bytes that steer a terminal instead of showing a character: C0 (tab included),
// DEL and the C1 range 0x80-0x9F.
bool IsControlByte(unsigned char c);
// The same conversion for text that comes from a file and goes to a terminal: every control
// byte becomes U+FFFD, so an element file cannot move the cursor or reprogram the terminal.
// Bytes that already form UTF-8 characters (a name from a UTF-8 file) are kept as they are; any
// other byte is read as Latin-1.
std::string Latin1ToUtf8Printable(std::string_view text);

// Rounds half away from zero to the given number of decimals.
double RoundTo(double value, int decimals);

}  // namespace corvane
