#pragma once
// The orbit models of a whole catalogue, block by block, made once and shared: the object list
// and the batch predictions propagate copies of the same blocks instead of each converting and
// setting up every element set again.
//
// Thread-safe: a block is made by whichever thread first asks for it (the others wait for that
// block only) and never changes afterwards. A copy of a block (PropagationBatch copies share their
// models) carries its own propagation state, so each thread propagates its own.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "orbit/Sgp4Batch.h"

namespace corvane {

class ElementCatalogue;

class CatalogueModels {
public:
    // Objects b * kBlockSize + 1 .. (b + 1) * kBlockSize make block b.
    static constexpr int kBlockSize = 200;

    struct Block {
        PropagationBatch batch;            // objects first..last in order, never propagated
        std::vector<double> eccentricity;  // of each object's converted elements
    };

    // For the catalogue as it is now; the store does not keep it, callers hand it in.
    explicit CatalogueModels(const ElementCatalogue& catalogue);
    ~CatalogueModels();
    CatalogueModels(const CatalogueModels&) = delete;
    CatalogueModels& operator=(const CatalogueModels&) = delete;

    // Whether the store was made for these contents (another catalogue, or one changed since,
    // is not).
    bool MadeFor(const ElementCatalogue& catalogue) const;
    int Count() const { return count_; }
    int Blocks() const { return static_cast<int>(blocks_.size()); }
    // Block b, made from catalogue on first use; nullptr when the store was not made for the
    // catalogue or b is not a block of it.
    const Block* Models(const ElementCatalogue& catalogue, int b) const;

private:
    struct Slot {
        std::once_flag made;
        Block block;
    };
    uint64_t serial_;
    int count_;
    std::vector<std::unique_ptr<Slot>> blocks_;
};

}  // namespace corvane
