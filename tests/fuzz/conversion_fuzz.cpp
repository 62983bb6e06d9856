// The whole conversion from a template's bytes and a key file's bytes, through the stages in the
// driver's order but without its way out, which ends the process. Every run ends either with a
// negative result or with a complete output that the independent decoder reads back as the
// template's blocks followed by the bones of the key file.
#include <bit>
#include <cstring>

#include "fuzz/fuzz_harness.h"
#include "keys/anim_keys.h"
#include "kf/sequence.h"
#include "nif/nif_document.h"
#include "nif/nif_file.h"
#include "support/kf_decoder.h"

namespace {

// The template's bodies as loaded, which the conversion must pass on unchanged.
std::vector<std::vector<std::uint8_t>> Template_Bodies() {
    std::vector<std::vector<std::uint8_t>> bodies;
    for (std::uint32_t i = 0; i < Header_NumBlocks; ++i)
        bodies.emplace_back(NifBlocks[i].Data.get(), NifBlocks[i].Data.get() + NifBlocks[i].Size);
    return bodies;
}

// The key as the decoder gives it: the quaternion slots, or in the Euler form w read as zero.
DecodedKey Expected_Key(const AnimKey& key) {
    const float w = IsQuaternionFormat ? key.RotW : 0.0f;
    return {key.Time, key.PosX, key.PosY, key.PosZ, w, key.RotX, key.RotY, key.RotZ, key.Scale};
}

bool Same_Bits(const DecodedKey& a, const DecodedKey& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i])) return false;
    }
    return true;
}

void Check_Output(const std::vector<std::uint8_t>& output,
                  const std::vector<std::vector<std::uint8_t>>& bodies) {
    NifFile file;
    DecodedAnimation animation;
    std::string error;
    Fuzz_Check(Decode_Nif(output, file, error), "the output does not decode: " + error);
    Fuzz_Check(Decode_Animation(file, bodies.size(), animation, error),
               "the animation does not decode: " + error);
    for (std::size_t i = 0; i < bodies.size(); ++i)
        Fuzz_Check(file.Bodies[i] == bodies[i], "a template block changed");
    Fuzz_Check(animation.Bones.size() == static_cast<std::size_t>(NumAnimBones), "bone count differs");
    Fuzz_Check(std::bit_cast<std::uint32_t>(animation.Duration) == std::bit_cast<std::uint32_t>(AnimDuration),
               "duration differs");
    for (std::size_t b = 0; b < animation.Bones.size(); ++b) {
        const AnimBone& bone = AnimBones[b];
        const DecodedBone& decoded = animation.Bones[b];
        Fuzz_Check(decoded.Name == bone.Name, "bone name differs");
        Fuzz_Check(decoded.Keys.size() == static_cast<std::size_t>(bone.NumKeys), "key count differs");
        for (std::size_t k = 0; k < decoded.Keys.size(); ++k)
            Fuzz_Check(Same_Bits(decoded.Keys[k], Expected_Key(bone.Keys[k])), "key differs");
    }
}

// The stages of Posewright_Main after the files are open. True when an output was written.
bool Convert(std::vector<std::vector<std::uint8_t>>& bodies) {
    if (Load_from_File___All_NIF_Blocks() < 0) return false;
    bodies = Template_Bodies();
    NumAnimBones = Load_from_File___Animation_Keys();
    if (NumAnimBones < 0 || (!IsQuaternionFormat && !IsEulerFormat)) return false;
    return Create_All_KF_Blocks() == 0 && Write_All_NIF_Block_to_File() == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ConversionInput input = Split_Conversion_Input(data, size);
    Reset_Every_Table();
    InputKfFile = Open_Bytes(input.Template);
    AnimationKeysFile = Open_Bytes(input.Keys);
    WrittenFile output = Open_Written_File();
    OutputKfFile = output.File;
    std::vector<std::vector<std::uint8_t>> bodies;
    const bool converted = Convert(bodies);
    Check_Table_Counts();
    Close_Process_Files();
    const std::vector<std::uint8_t> written = Close_Written_Bytes(output);
    if (converted) Check_Output(written, bodies);
    return 0;
}
