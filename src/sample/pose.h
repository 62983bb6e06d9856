// A bone's pose: an interpolator's own values over the skeleton's rest, as one key or held still.
#pragma once

#include <cstdint>
#include <string>

#include "keys/anim_keys.h"

// What a controlled block became: a bone and the form of its rotations, or no bone.
// kAnglePose: a pose held on empty angle tracks, which has no rotation keys but tells that the sequence is
// of angles when no bone's keys tell its form.
enum Form { kNoRotation, kAnglePose, kQuaternions, kEulerAngles, kLeftOut };

// Bone n's rest: the pose of its skeleton node where the skeleton (--skeleton) holds it, else no offset,
// the identity and a scale of 1. The parts the skeleton gives.
std::uint32_t Rest_of(std::int32_t n, AnimKey& rest);

// A problem line for each of the `parts` of bone n written at rest for want of a value.
void Note_At_Rest(std::int32_t n, std::uint32_t parts);

// Bone n's pose from an interpolator's own transform, the parts that hold none from its rest; a problem
// line for each of the `used` parts that the skeleton does not give.
AnimKey Bone_Pose(std::int32_t n, const float (&translation)[3], const float (&rotation)[4], float scale,
                  std::uint32_t used);

// Bone n as the one key `pose` at the sequence's start.
Form One_Key(std::int32_t n, const AnimKey& pose);

// Controlled block c, whose node bone n names, with neither keys nor a pose (`why`): the engine leaves
// its node where the skeleton puts it, so one key of the skeleton's pose when the skeleton holds the
// node, else no bone. A problem line either way.
Form Hold_Still(std::int32_t c, std::int32_t n, const std::string& why);

// Bone b's rotations in the quaternion slots (a pose) as the angles of a sequence of angles.
void Take_Angles(std::int32_t b);
