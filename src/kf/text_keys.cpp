// The text-key block's writer beside its reader, field for field.
#include "kf/text_keys.h"

#include <string>

#include "nif/nif_document.h"
#include "nif/report.h"

static const std::string kTooManyTextKeys =
    "it holds more than the " + std::to_string(kMaxKeys) + " text keys read here";

std::uint32_t Calculate_Size___NiTextKeyExtraData(const TextKeyExtraData& keys) {
    return 8 + 8 * keys.NumTextKeys;
}

std::int32_t Save_to_Memory___NiTextKeyExtraData(const TextKeyExtraData& keys) {
    if (keys.NumTextKeys > kMaxKeys)
        return Report_Out_Of_Limits("Save_to_Memory___NiTextKeyExtraData", "NiTextKeyExtraData_NumTextKeys",
                                    keys.NumTextKeys);
    ByteWriter out = Open_Block_Body();
    Write_i32(out, keys.Name);
    Write_u32(out, keys.NumTextKeys);
    for (std::uint32_t k = 0; k < keys.NumTextKeys; ++k) {
        Write_f32(out, keys.TextKeys[k].Time);
        Write_i32(out, keys.TextKeys[k].Value);
    }
    return Close_Block_Body(out, "Save_to_Memory___NiTextKeyExtraData");
}

std::int32_t Load_from_Memory___NiTextKeyExtraData(ByteReader& in, TextKeyExtraData& keys) {
    keys.Name = Read_i32(in);
    keys.NumTextKeys = Read_Count(in, kMaxKeys, kTooManyTextKeys.c_str());
    for (std::uint32_t k = 0; k < keys.NumTextKeys; ++k) {
        keys.TextKeys[k].Time = Read_f32(in);
        keys.TextKeys[k].Value = Read_i32(in);
    }
    return Read_Whole(in) ? 0 : -3;
}
