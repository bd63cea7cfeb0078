#include "core/Text.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace corvane {

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    size_t end = i;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        size_t expDigits = 0;
        while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j, ++expDigits;
        if (expDigits > 0) end = j;
    }
    const std::string number(text.substr(start, end - start));
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) return 0.0;
    return value;
}

int LeadingInt(std::string_view text) {
    const double v = std::round(LeadingNumber(text));
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

std::string Trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r' || text[b] == '\n')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' || text[e - 1] == '\n'))
        --e;
    return std::string(text.substr(b, e - b));
}

std::string TrimRight(std::string_view text) {
    size_t e = text.size();
    while (e > 0 && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' || text[e - 1] == '\n'))
        --e;
    return std::string(text.substr(0, e));
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + 4);
    for (char ch : latin1) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool IsControlByte(unsigned char c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

namespace {

// Length of the well-formed UTF-8 sequence at the start of text (2 to 4 bytes, shortest form, no
// surrogates, at most U+10FFFF) and its code point; 0 when the bytes do not form one.
size_t Utf8Sequence(std::string_view text, char32_t& code) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string Latin1ToUtf8Printable(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size() + 4);
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t code = 0;
        if (const size_t n = c >= 0x80 ? Utf8Sequence(text.substr(i), code) : 0; n > 0) {
            // Names from UTF-8 files (OMM XML, most of today's files) pass as they are; the C1
            // controls steer a terminal in this form too.
            if (code < 0xA0)
                out += kReplacement;
            else
                out.append(text.substr(i, n));
            i += n;
            continue;
        }
        if (IsControlByte(c)) {
            out += kReplacement;
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        ++i;
    }
    return out;
}

double RoundTo(double value, int decimals) {
    if (!std::isfinite(value)) return 0.0;
    const double scale = std::pow(10.0, decimals);
    // DEPARTURE: a number too large to scale (9e307 to one decimal) has no decimals to round and
    // is kept; scaling it gave infinity.
    const double scaled = value * scale;
    if (!std::isfinite(scaled)) return value;
    return std::round(scaled) / scale;
}

void AppendTwoDigits(std::string& out, long long value) {
    if (value >= 0 && value <= 99) {
        out.push_back(static_cast<char>('0' + value / 10));
        out.push_back(static_cast<char>('0' + value % 10));
    } else {
        out += std::to_string(value);  // "%02lld" adds no padding beyond two characters
    }
}

std::string PlainNumber(double value, int maxDecimals) {
    if (!std::isfinite(value)) return "0";
    // DEPARTURE: the text is as long as the number needs; a fixed buffer cut numbers above 1e52
    // (a settings value of 9e307 was written back as 9e62).
    const int length = std::snprintf(nullptr, 0, "%.*f", maxDecimals, value);
    if (length <= 0) return "0";
    std::string s(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(s.data(), s.size(), "%.*f", maxDecimals, value);
    s.pop_back();
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

}  // namespace corvane
