#pragma once
// The rows of the "TLE Data for" window: a fixed label and the raw text of one column range of
// the element lines, surrounding blanks removed.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

// Label and value of each row, in window order. Short lines give empty values.
std::vector<std::pair<std::string, std::string>> ElementDataRows(std::string_view line1,
                                                                 std::string_view line2);

}  // namespace corvane
