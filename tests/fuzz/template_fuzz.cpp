// The template loader and writer: whatever the bytes, every table within its capacity; a template
// that loads writes a file that loads and writes back unchanged. The same bytes as a skeleton: its
// nodes taken within their table, and a few bones checked against them, each finding about one of them.
#include "check/skeleton.h"
#include "fuzz/fuzz.h"
#include "keys/anim_keys.h"

namespace {

// Bones with offsets: one still, the others moving.
const std::string kBones = Key_Text(false, 1,
                                    {{"NPC Root [Root]", {{0, 0, 0, 0, 1, 0, 0, 0, 1}}},
                                     {"NPC Spine", {{0, 0.14f, 0, 0, 1, 0, 0, 0, 1}}},
                                     {"NPC Head", {{0, 9, 0, 2, 1, 0, 0, 0, 1}}}});

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteString bytes(data, data + size);
    const ByteString first = Convert(bytes, nullptr);
    Check_Tables();
    Fuzz_Check(first.empty() || Convert(first, nullptr) == first,
               "a written template does not copy unchanged");
    NumAnimBones = Load_Keys(kBones);
    Load_Skeleton(bytes);
    Check_Tables();
    for (const SkeletonFinding& finding : Check_Against_Skeleton("skeleton.nif", "NPC Root [Root]"))
        Fuzz_Check(finding.Bone >= -1 && finding.Bone < NumAnimBones && !finding.Text.empty(),
                   "a finding about no bone: " + finding.Text);
    return 0;
}
