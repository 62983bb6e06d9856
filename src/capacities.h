// Every capacity of the process-wide tables, each in one place with its reason. Shared by the
// container and the key file, which depend on nothing else of each other.
#pragma once

#include <cstdint>

// Blocks one document can hold; also the bound for block indices written into new blocks.
inline constexpr std::uint32_t kMaxBlocks = 1024;
// Distinct block type names in the header.
inline constexpr std::uint32_t kMaxBlockTypes = 256;
// Entries of the header string table.
inline constexpr std::uint32_t kMaxStrings = 256;
// Bytes of one type name, string entry or short string, its terminating zero included.
inline constexpr std::uint32_t kTextEntrySize = 256;
// Bytes of the header line, its line feed and terminating zero included.
inline constexpr std::uint32_t kHeaderLineSize = 512;
// Block indices in the footer.
inline constexpr std::uint32_t kMaxRoots = 256;
// Largest body one block may have (5 MiB): more is taken for a damaged size field.
inline constexpr std::uint32_t kMaxBlockSize = 0x500000;
// Nodes of the skeleton's table: each is a block of the document the skeleton is read into.
inline constexpr std::uint32_t kMaxSkeletonNodes = kMaxBlocks;
// Links of one list of a node (children, extra data, properties, effects): more than the blocks a
// document holds is taken for damage.
inline constexpr std::uint32_t kMaxNodeLinks = kMaxBlocks;
// Upper bound the header tests apply to the block type count before the table's own capacity.
inline constexpr std::uint32_t kBlockTypeCountLimit = 1024;

// Bytes of a file name, its terminating zero included.
inline constexpr std::uint32_t kFileNameSize = 256;

// Bone records in the key file; the last record read is never converted.
inline constexpr std::uint32_t kMaxBoneRecords = 300;
// Keys of one bone, and so of every key track and text-key table.
inline constexpr std::uint32_t kMaxKeys = 1536;
// Controlled blocks of the one controller sequence.
inline constexpr std::uint32_t kMaxControlledBlocks = 256;
// Control values of one spline-data block, floats or packed: a sequence's curves share one block, and a
// million values hold 250 bones of 500 control points in all three channels.
inline constexpr std::uint32_t kMaxSplineValues = 1u << 20;
// A line of the key file, without its terminating zero.
inline constexpr std::uint32_t kKeyLineSize = 256;
// A line of the sequence file, its line end not included: the longest setting, a text key of 255
// bytes that are all escaped, fits with room for a number written as long as anyone would write one.
inline constexpr std::uint32_t kSequenceLineSize = 1024;

static_assert(kMaxRoots <= kMaxBlocks, "roots name blocks");
static_assert(kMaxSkeletonNodes <= kMaxBlocks, "every skeleton node is a block of the document");
static_assert(kMaxControlledBlocks <= kMaxBoneRecords, "every controlled block is read into a bone record");
static_assert(kMaxControlledBlocks <= kMaxStrings, "every controlled block names a string of its own");
static_assert(kMaxBlockTypes <= 65536, "type indices are written as u16");
static_assert(kSequenceLineSize > 2 * kTextEntrySize + 64, "a text key line of escaped bytes fits");
