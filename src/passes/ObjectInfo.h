#pragma once
// "info.dat": notes about objects, fixed-length records of 2561 bytes without a header: the
// catalogue number as text (6 bytes), a title (55 bytes) and free text (2500 bytes), blank-padded.
// The program only reads it. Texts are Latin-1.
#include <optional>
#include <string>

namespace corvane {

inline constexpr size_t kObjectInfoRecordSize = 2561;
inline constexpr const char* kObjectInfoFileName = "info.dat";

struct ObjectInfo {
    long number = 0;
    std::string title;  // trailing blanks removed
    std::string text;   // trailing blanks removed
};

// The first record whose number equals the given catalogue number; nullopt when the file is
// missing, shorter than a record or holds none for it.
std::optional<ObjectInfo> FindObjectInfo(const std::string& path, long catalogueNumber);

// "Information - " + title.
std::string InformationTitle(const ObjectInfo& info);

}  // namespace corvane
