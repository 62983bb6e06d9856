// The hemisphere rule, written once: a rotation q and -q are one rotation, and the engine blends two
// keys along the arc their quaternions span, so a key whose rotation lies in the other hemisphere from
// the one before turns the long way round. The check reports such keys; the sampler never makes them.
#pragma once

#include "keys/anim_keys.h"

// A rotation's quaternion, w first.
struct Rotation {
    float W, X, Y, Z;
};

// True when `next` lies in the other hemisphere from `before`: their dot product is negative.
inline bool In_Other_Hemisphere(const Rotation& next, const Rotation& before) {
    return next.W * before.W + next.X * before.X + next.Y * before.Y + next.Z * before.Z < 0;
}

// The rotation slots of a key of the bone table.
inline Rotation Rotation_of(const AnimKey& key) {
    return {key.RotW, key.RotX, key.RotY, key.RotZ};
}
