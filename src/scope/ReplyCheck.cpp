#include "scope/ReplyCheck.h"

#include <cctype>

namespace corvane {

namespace {

bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// One slew reply at the start of `text`: its length, or 0 when it is none.
size_t SlewReplyLength(std::string_view text) {
    if (text.empty()) return 0;
    if (text[0] == '0') return 1;
    if (text[0] != '1' && text[0] != '2') return 0;
    size_t i = 1;
    while (i < text.size() && text[i] != '#') {
        if (!Printable(static_cast<unsigned char>(text[i]))) return 0;
        ++i;
    }
    return i < text.size() ? i + 1 : i;
}

}  // namespace

bool IsPlausibleBarsReply(std::string_view reply) {
    if (reply.empty() || reply.back() != '#') return false;
    for (size_t i = 0; i + 1 < reply.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(reply[i]);
        if (!Printable(c) && c != 0x7F && c != 0xFF) return false;
    }
    return true;
}

bool IsSlewReply(std::string_view reply) {
    // "1" acknowledgements of separate set commands may come first.
    while (reply.size() > 1 && reply[0] == '1' && (reply[1] == '0' || reply[1] == '1' || reply[1] == '2'))
        reply.remove_prefix(1);
    const size_t n = SlewReplyLength(reply);
    return n > 0 && n == reply.size();
}

bool IsSlewReplyPile(std::string_view pile) {
    if (pile.empty()) return false;
    while (!pile.empty()) {
        const size_t n = SlewReplyLength(pile);
        if (n == 0) return false;
        pile.remove_prefix(n);
    }
    return true;
}

bool IsCoordinateReply(std::string_view reply) {
    if (reply.size() < 6 || reply.back() != '#') return false;
    reply.remove_suffix(1);
    if (reply[0] == '+' || reply[0] == '-') reply.remove_prefix(1);
    // Leading whole units: two or three digits.
    size_t i = 0;
    while (i < reply.size() && Digit(reply[i])) ++i;
    if (i < 2 || i > 3 || i + 3 > reply.size()) return false;
    // One separator, then two digits of minutes.
    if (Digit(reply[i]) || !Digit(reply[i + 1]) || !Digit(reply[i + 2])) return false;
    std::string_view rest = reply.substr(i + 3);
    if (rest.empty()) return true;
    // ".T" tenths of a minute, or ":SS" seconds.
    if (rest.size() == 2 && rest[0] == '.' && Digit(rest[1])) return true;
    return rest.size() == 3 && !Digit(rest[0]) && Digit(rest[1]) && Digit(rest[2]);
}

bool IsNexStarShortReply(std::string_view reply) {
    if (reply.empty() || reply.back() != '#') return false;
    for (char c : reply) {
        if (c != '#' && c != '0' && c != '1') return false;
    }
    return true;
}

bool IsPierSideOrShortReply(std::string_view reply) {
    return reply == "E#" || reply == "W#" || IsNexStarShortReply(reply);
}

}  // namespace corvane
