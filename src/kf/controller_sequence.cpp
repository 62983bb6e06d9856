// The controller sequence's writer beside its reader, field for field; a controlled block is one
// record of 29 bytes.
#include "kf/controller_sequence.h"

#include <string>

#include "nif/nif_document.h"
#include "nif/report.h"

static const std::string kTooManyControlledBlocks =
    "it holds more than the " + std::to_string(kMaxControlledBlocks) + " controlled blocks read here";

std::uint32_t Calculate_Size___NiControllerSequence(const ControllerSequence& sequence) {
    return 12 + kControlledBlockSize * sequence.NumControlledBlocks + 34;
}

static void Write_Controlled_Block(ByteWriter& out, const ControlledBlock& block) {
    Write_i32(out, block.Interpolator);
    Write_i32(out, block.Controller);
    Write_u8(out, block.Priority);
    Write_i32(out, block.NodeName);
    Write_i32(out, block.PropertyType);
    Write_i32(out, block.ControllerType);
    Write_i32(out, block.ControllerID);
    Write_i32(out, block.InterpolatorID);
}

static void Read_Controlled_Block(ByteReader& in, ControlledBlock& block) {
    block.Interpolator = Read_i32(in);
    block.Controller = Read_i32(in);
    block.Priority = Read_u8(in);
    block.NodeName = Read_i32(in);
    block.PropertyType = Read_i32(in);
    block.ControllerType = Read_i32(in);
    block.ControllerID = Read_i32(in);
    block.InterpolatorID = Read_i32(in);
}

std::int32_t Save_to_Memory___NiControllerSequence(const ControllerSequence& sequence) {
    if (sequence.NumControlledBlocks > kMaxControlledBlocks)
        return Report_Out_Of_Limits("Save_to_Memory___NiControllerSequence",
                                    "NiControllerSequence_NumControlledBlocks", sequence.NumControlledBlocks);
    ByteWriter out = Open_Block_Body();
    Write_i32(out, sequence.Name);
    Write_u32(out, sequence.NumControlledBlocks);
    Write_u32(out, sequence.ArrayGrowBy);
    for (std::uint32_t b = 0; b < sequence.NumControlledBlocks; ++b) {
        Write_Controlled_Block(out, sequence.ControlledBlocks[b]);
    }
    Write_f32(out, sequence.Weight);
    Write_i32(out, sequence.TextKeys);
    Write_u32(out, sequence.CycleType);
    Write_f32(out, sequence.Frequency);
    Write_f32(out, sequence.StartTime);
    Write_f32(out, sequence.StopTime);
    Write_i32(out, sequence.Manager);
    Write_i32(out, sequence.AccumRootName);
    Write_u16(out, sequence.NumAnimNoteArrays);
    return Close_Block_Body(out, "Save_to_Memory___NiControllerSequence");
}

std::int32_t Load_from_Memory___NiControllerSequence(ByteReader& in, ControllerSequence& sequence) {
    sequence.Name = Read_i32(in);
    sequence.NumControlledBlocks = Read_Count(in, kMaxControlledBlocks, kTooManyControlledBlocks.c_str());
    sequence.ArrayGrowBy = Read_u32(in);
    for (std::uint32_t b = 0; b < sequence.NumControlledBlocks; ++b)
        Read_Controlled_Block(in, sequence.ControlledBlocks[b]);
    sequence.Weight = Read_f32(in);
    sequence.TextKeys = Read_i32(in);
    sequence.CycleType = Read_u32(in);
    sequence.Frequency = Read_f32(in);
    sequence.StartTime = Read_f32(in);
    sequence.StopTime = Read_f32(in);
    sequence.Manager = Read_i32(in);
    sequence.AccumRootName = Read_i32(in);
    sequence.NumAnimNoteArrays = Read_u16(in);
    // The converter writes none; another writer's note arrays are block references, passed over.
    for (std::uint32_t n = 0; n < sequence.NumAnimNoteArrays; ++n)
        Read_i32(in);
    if (Read_Whole(in)) return 0;
    sequence.NumControlledBlocks = 0;
    return -3;
}
