// The store of a catalogue's models: a copy of a block propagates exactly as a batch made from the
// catalogue (every object of the test catalogue, near-earth and deep-space of each resonance), threads that
// take blocks at once get independent copies, a copy that grows leaves the store alone, and a store is used
// only for the contents it was made for.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "orbit/CatalogueModels.h"
#include "orbit/ElementCatalogue.h"
#include "orbit/ElementSet.h"
#include "orbit/Sgp4Batch.h"
#include "orbit/verification_support.h"

using namespace corvane;

namespace {

constexpr double kStart = 2457871.5;  // 2017-04-28 00:00 UTC
using testing_support::SameBits;

std::shared_ptr<const ElementCatalogue> Catalogue() {
    static const auto c = LoadElementFile(CORVANE_TEST_DATA "/catalogue-2017-04-27.tle").catalogue;
    return c;
}

// Block b's objects at instants that carry the deep-space integration on and send it back, then
// one object through many instants and mixed pairs: every path that reads the models.
std::vector<PropagationResult> RunAll(PropagationBatch& batch) {
    std::vector<PropagationResult> out;
    BatchStates states;
    for (double jd : {kStart, kStart + 3.3, kStart + 0.2, kStart - 20.0}) {
        batch.PropagateAll(jd, states);
        for (size_t i = 0; i < states.Size(); ++i) out.push_back(states.Result(i));
    }
    const double times[] = {kStart + 1.0, kStart + 1.5, kStart + 2.0};
    for (size_t object = 0; object < batch.Size(); object += 7) {
        batch.PropagateTimes(object, times, 3, states);
        for (size_t i = 0; i < states.Size(); ++i) out.push_back(states.Result(i));
        out.push_back(batch.PropagateOne(object, kStart + 0.7));
    }
    std::vector<uint32_t> objects;
    std::vector<double> jd;
    for (uint32_t k = 0; k < batch.Size(); ++k) {
        objects.push_back(static_cast<uint32_t>((k * 37) % batch.Size()));
        jd.push_back(kStart + 0.01 * k);
    }
    batch.PropagatePairs(objects.data(), jd.data(), objects.size(), states);
    for (size_t i = 0; i < states.Size(); ++i) out.push_back(states.Result(i));
    return out;
}

bool SameRuns(const std::vector<PropagationResult>& a, const std::vector<PropagationResult>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameBits);
}

// The same contents as the test catalogue, in another catalogue object.
std::shared_ptr<ElementCatalogue> Rebuilt(int skip = 0) {
    auto c = std::make_shared<ElementCatalogue>();
    const auto all = Catalogue();
    for (int i = 1 + skip; i <= all->Count() + skip; ++i) c->Add(*all->Entry((i - 1) % all->Count() + 1));
    return c;
}

}  // namespace

TEST(CatalogueModels, CopiesOfEveryBlockPropagateAsABatchMadeFromTheCatalogue) {
    const ElementCatalogue& catalogue = *Catalogue();
    const CatalogueModels store(catalogue);
    ASSERT_EQ(store.Blocks(), (catalogue.Count() + 199) / 200);
    for (int b = 0; b < store.Blocks(); ++b) {
        const int first = b * 200 + 1, last = std::min(catalogue.Count(), first + 199);
        PropagationBatch fresh;
        fresh.AddCatalogue(catalogue, first, last);
        const CatalogueModels::Block* block = store.Models(catalogue, b);
        ASSERT_NE(block, nullptr);
        ASSERT_EQ(block->batch.Size(), fresh.Size());
        ASSERT_EQ(block->eccentricity.size(), fresh.Size());
        for (int i = first; i <= last; ++i) {
            EXPECT_EQ(block->eccentricity[static_cast<size_t>(i - first)],
                      ConvertElementValues(catalogue.Line1(i), catalogue.Line2(i)).eccentricity);
            EXPECT_EQ(block->batch.IsVectorised(static_cast<size_t>(i - first)),
                      fresh.IsVectorised(static_cast<size_t>(i - first)));
        }
        PropagationBatch copy = block->batch;
        const std::vector<PropagationResult> expected = RunAll(fresh);
        EXPECT_TRUE(SameRuns(RunAll(copy), expected)) << "block " << b;
        // A second copy, after the first has carried its resonance integration on, starts afresh.
        PropagationBatch again = block->batch;
        EXPECT_TRUE(SameRuns(RunAll(again), expected)) << "block " << b;
    }
    EXPECT_EQ(store.Models(catalogue, store.Blocks()), nullptr);
    EXPECT_EQ(store.Models(catalogue, -1), nullptr);
}

TEST(CatalogueModels, TwoThreadsTakingTheSameBlocksGetIndependentCopies) {
    const ElementCatalogue& catalogue = *Catalogue();
    std::vector<std::vector<PropagationResult>> expected;
    for (int first = 1; first <= catalogue.Count(); first += 200) {
        PropagationBatch fresh;
        fresh.AddCatalogue(catalogue, first, std::min(catalogue.Count(), first + 199));
        expected.push_back(RunAll(fresh));
    }
    const CatalogueModels store(catalogue);
    std::vector<int> wrong(2, 0);
    // Both threads make or wait for every block, one from the front and one from the back.
    auto work = [&](int t) {
        for (int k = 0; k < store.Blocks(); ++k) {
            const int b = t == 0 ? k : store.Blocks() - 1 - k;
            PropagationBatch copy = store.Models(catalogue, b)->batch;
            if (!SameRuns(RunAll(copy), expected[static_cast<size_t>(b)])) ++wrong[static_cast<size_t>(t)];
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    EXPECT_EQ(wrong, std::vector<int>(2, 0));
}

TEST(CatalogueModels, ACopyThatGrowsLeavesTheStoreAndOtherCopiesAlone) {
    const ElementCatalogue& catalogue = *Catalogue();
    const CatalogueModels store(catalogue);
    const PropagationBatch& block = store.Models(catalogue, 0)->batch;
    PropagationBatch grown = block;
    PropagationBatch other = block;
    grown.AddCatalogue(catalogue, 1001, 1400);
    EXPECT_EQ(grown.Size(), 600u);
    EXPECT_EQ(block.Size(), 200u);
    EXPECT_EQ(other.Size(), 200u);
    PropagationBatch fresh;
    fresh.AddCatalogue(catalogue, 1, 200);
    EXPECT_TRUE(SameRuns(RunAll(other), RunAll(fresh)));
    grown.Clear();
    EXPECT_EQ(grown.Size(), 0u);
    EXPECT_EQ(block.Size(), 200u);
}

TEST(CatalogueModels, UsedOnlyForTheContentsItWasMadeFor) {
    const auto made = Rebuilt();
    const CatalogueModels store(*made);
    EXPECT_TRUE(store.MadeFor(*made));
    // A copy holds the same contents; the catalogue it was made from is not needed after.
    const ElementCatalogue copy = *made;
    EXPECT_TRUE(store.MadeFor(copy));
    // The same entries loaded again, another catalogue of the same count, one changed since.
    EXPECT_FALSE(store.MadeFor(*Rebuilt()));
    EXPECT_FALSE(store.MadeFor(*Rebuilt(1)));
    EXPECT_EQ(store.Models(*Rebuilt(1), 0), nullptr);
    ElementCatalogue changed = *made;
    changed.Add(*made->Entry(1));
    EXPECT_FALSE(store.MadeFor(changed));
    EXPECT_EQ(store.Models(changed, 0), nullptr);
    EXPECT_NE(store.Models(copy, 0), nullptr);
}
