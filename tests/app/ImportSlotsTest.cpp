// Every call of the delivered executables reaches its function: no instruction reads an
// import slot that the loader leaves empty, and each delay-load slot first leads to
// the thunk that loads its library.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/PeImage.h"
#include "tools/guidriver/GuiDriver.h"

namespace {

std::string Lines(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

bool ReadsDelaySlotOf(const support::PeImage& image, const std::string& function)
{
    const auto refs = image.SlotReferences();
    for (const support::ImportSlot& s : image.Slots()) {
        if (s.delayed && s.function == function &&
            std::any_of(refs.begin(), refs.end(), [&](const support::SlotReference& r) { return r.slot == s.rva; }))
            return true;
    }
    return false;
}

void ExpectEveryCallFilled(const std::wstring& path, bool is64)
{
    SCOPED_TRACE(guidriver::Utf8(path));
    const support::PeImage image(path);
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.Is64(), is64);
    // The common controls are delay-loaded and called through their slots; the scan
    // must see those calls, or it proves nothing.
    EXPECT_TRUE(ReadsDelaySlotOf(image, "InitCommonControlsEx"));
    EXPECT_TRUE(ReadsDelaySlotOf(image, "_TrackMouseEvent"));
    EXPECT_EQ("", Lines(support::UnfilledSlotReads(image)));
}

}  // namespace

TEST(ImportSlots, EveryCallOfTheDeliveredToolsReachesItsFunction)
{
    ExpectEveryCallFilled(guidriver::EnvPath(L"ORV_DIST") + L"\\FastMendLUMAFWU.exe", true);
    ExpectEveryCallFilled(guidriver::EnvPath(L"ORV_I686_DIST") + L"\\FastMendLUMAFWU.exe", false);
}

// The same call linked against the delay library exactly as the toolchain's dlltool
// writes it: the i686 linker drops the thunk and the slot stays zero.
TEST(ImportSlots, TheCheckFindsTheEmptySlotOfAnUnmendedDelayLibrary)
{
    const support::PeImage image(guidriver::EnvPath(L"ORV_BUILD") + L"\\tests\\delay_fixture\\unmended.exe");
    ASSERT_TRUE(image.Ok());
    const std::string faults = Lines(support::UnfilledSlotReads(image));
    EXPECT_NE(std::string::npos, faults.find("delay slot of InitCommonControlsEx")) << faults;
}
