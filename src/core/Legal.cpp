#include "core/Legal.h"

namespace corvane {

std::string LegalText(bool acceptanceMode) {
    const char* const blocks[] = {
        "Corvane ",
        "Meade, LX200, LX200GPS and AutoStar are trademarks of Meade Instruments Corporation. "
        "Celestron, NexStar, Ultima 2000 and CGE are trademarks of Celestron. They are named only to "
        "say which telescopes this program can drive; neither maker made, checks or supports it.",
        "Disclaimer of warranty",
        "This program is provided \"as is\", without warranty of any kind, express or implied, including "
        "the warranties of merchantability and fitness for a particular purpose. You use it at your own "
        "risk. A telescope driven by a computer can move without warning: never leave it unattended, "
        "keep people, cables and obstacles clear of its path, and never point it at or near the Sun. The "
        "authors are not liable for any damage to equipment, injury or loss arising from its use.",
        "Updates can be downloaded from https://corvane.org/download",
        "Copyright (c) 2026 the Corvane developers. All rights reserved.",
    };
    std::string text;
    for (const char* block : blocks) {
        if (!text.empty()) text += "\n\n";
        text += block;
    }
    if (acceptanceMode) text += "\n\nClick YES to agree with terms or NO to cancel";
    return text;
}

}  // namespace corvane
