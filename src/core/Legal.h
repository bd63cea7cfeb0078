#pragma once
// The legal notice: shown from the Help menu and, at the first start, as the disclaimer that
// must be accepted.
#include <string>

namespace corvane {

inline constexpr const char* kLegalTitle = "Corvane  -  Legal Information";

// The notice's blocks separated by blank lines; in acceptance mode it ends with the question.
std::string LegalText(bool acceptanceMode);

}  // namespace corvane
