#pragma once
// Whether a mount's reply is a plausible answer to the command that asked for it. The engines
// use this only to tell a live mount from a dead or noisy line: a reply that fails here is
// treated as no reply at all, never acted upon differently. Pure functions.
#include <string_view>

namespace corvane {

// A distance-bar reply: ends with "#", and every other byte is a blank or other printable
// ASCII character, or a bar byte (127, or 255 on some firmware). Single-digit replies to
// earlier commands may precede it.
bool IsPlausibleBarsReply(std::string_view reply);
// The reply to a set-and-slew: "0" (accepted), or "1"/"2" followed by printable text (a
// refusal, possibly not yet complete), or the "1" acknowledgements of the set commands first.
bool IsSlewReply(std::string_view reply);
// Replies that piled up unread in the input (Continuous tracking reads none after a while):
// slew replies one after another.
bool IsSlewReplyPile(std::string_view pile);
// A coordinate reply: "HH:MM:SS#", "HH:MM.T#", "sDD*MM:SS#", "sDD*MM#" (any separator byte
// between degrees and minutes), with an optional sign.
bool IsCoordinateReply(std::string_view reply);

// A short NexStar reply: the "#" that acknowledges a command, or "0#"/"1#" of the goto
// query; several may have piled up.
bool IsNexStarShortReply(std::string_view reply);
// The answer to the NexStar pier-side query ("E#" or "W#"), or a short reply of a hand control
// that does not know the query.
bool IsPierSideOrShortReply(std::string_view reply);

}  // namespace corvane
