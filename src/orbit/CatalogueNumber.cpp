#include "orbit/CatalogueNumber.h"

#include <cstdio>

#include "core/Text.h"

namespace corvane {

namespace {

constexpr char kLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";  // 10..33: no I, no O

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string_view TrimView(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

}  // namespace

std::optional<long> ParseCatalogueNumber(std::string_view field) {
    const std::string_view t = TrimView(field);
    if (t.empty() || t.size() > 5) return std::nullopt;
    if (AllDigits(t)) return std::stol(std::string(t));
    if (t.size() != 5 || !AllDigits(t.substr(1))) return std::nullopt;
    const std::string_view letters(kLetters);
    const size_t k = letters.find(t[0]);
    if (k == std::string_view::npos) return std::nullopt;
    return static_cast<long>(k + 10) * 10000 + std::stol(std::string(t.substr(1)));
}

std::string CatalogueNumberField(long number) {
    if (number < 0 || number > kLargestAlpha5Number) return {};
    char buf[8];
    if (number < 100000) {
        std::snprintf(buf, sizeof buf, "%05ld", number);
    } else {
        std::snprintf(buf, sizeof buf, "%c%04ld", kLetters[number / 10000 - 10], number % 10000);
    }
    return buf;
}

std::optional<long> ParseUserCatalogueNumber(std::string_view text) {
    std::string t = Trim(std::string(text));
    if (t.size() == 5 && t[0] >= 'a' && t[0] <= 'z') t[0] = static_cast<char>(t[0] - 'a' + 'A');
    if (AllDigits(t)) {
        // Any plain number (the caller checks its range); wide ones as printed for Alpha-5 objects.
        if (t.size() > 9) return std::nullopt;
        return std::stol(t);
    }
    return ParseCatalogueNumber(t);
}

std::string CatalogueNumberText(std::string_view field) {
    if (const auto n = ParseCatalogueNumber(field)) {
        if (*n >= 100000) return std::to_string(*n);
    }
    return std::string(TrimView(field));
}

}  // namespace corvane
