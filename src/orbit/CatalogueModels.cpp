#include "orbit/CatalogueModels.h"

#include <algorithm>

#include "orbit/ElementCatalogue.h"

namespace corvane {

CatalogueModels::CatalogueModels(const ElementCatalogue& catalogue)
    : serial_(catalogue.Serial()), count_(catalogue.Count()) {
    blocks_.resize(static_cast<size_t>((count_ + kBlockSize - 1) / kBlockSize));
    for (auto& slot : blocks_) slot = std::make_unique<Slot>();
}

CatalogueModels::~CatalogueModels() = default;

bool CatalogueModels::MadeFor(const ElementCatalogue& catalogue) const {
    return catalogue.Serial() == serial_ && catalogue.Count() == count_;
}

const CatalogueModels::Block* CatalogueModels::Models(const ElementCatalogue& catalogue, int b) const {
    if (b < 0 || b >= Blocks() || !MadeFor(catalogue)) return nullptr;
    Slot& slot = *blocks_[static_cast<size_t>(b)];
    // Only the first caller writes the block; call_once orders its writes before every reader's
    // return, and a build that throws leaves the block to the next caller.
    std::call_once(slot.made, [&] {
        const int first = b * kBlockSize + 1, last = std::min(count_, (b + 1) * kBlockSize);
        Block block;
        block.eccentricity.reserve(static_cast<size_t>(last - first + 1));
        block.batch.AddCatalogue(catalogue, first, last, &block.eccentricity);
        slot.block = std::move(block);
    });
    return &slot.block;
}

}  // namespace corvane
