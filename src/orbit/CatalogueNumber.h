#pragma once
// Catalogue numbers in the five columns of an element line: plain digits up to 99999, and the
// "Alpha-5" form beyond: a capital letter for 10..33 (I and O left out) and four digits, so
// "A0000" is 100000 and "Z9999" is 339999.
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr long kLargestAlpha5Number = 339999;

// The number a five-character field (surrounding blanks allowed) stands for: digits, or a
// capital letter (not I or O) and four digits. Nothing for anything else.
std::optional<long> ParseCatalogueNumber(std::string_view field);
// The five-character field for a number, five digits with leading zeros below 100000 and the Alpha-5 form
// from 100000 to 339999; empty for a number outside 0..339999.
std::string CatalogueNumberField(long number);
// What a user types for a catalogue number: digits (up to nine; the caller checks the range) or
// the Alpha-5 form, its letter in either case.
std::optional<long> ParseUserCatalogueNumber(std::string_view text);
// The number of a catalogue field as plain text for wide or free fields: "100000" for "A0000",
// the trimmed field itself when it does not read as a number.
std::string CatalogueNumberText(std::string_view field);

}  // namespace corvane
