"""Samples an armature's pose at every frame and writes it as Posewright key text."""

import re
import struct
from math import frexp

from mathutils import Euler, Matrix, Quaternion, Vector

MAX_BONES = 299  # the converter's table holds 300 records, the closing one included
MAX_KEYS = 1536
MAX_NAME_BYTES = 240  # a line is read up to 255 bytes: 12 before the name, 2 after, and the LF
QUATERNION_LINE = 'Rotations as Quaternions: time, position x y z, rotation w x y z, scale'
EULER_LINE = 'Rotations as Euler angles: time, position x y z, angles about x y z, scale'
CLOSING_NAME = 'End of keys'
SCALE_TOLERANCE = 1e-4  # relative spread of the three scales that still counts as uniform

AXES = {'X': (1, 0, 0), 'Y': (0, 1, 0), 'Z': (0, 0, 1), '-X': (-1, 0, 0), '-Y': (0, -1, 0), '-Z': (0, 0, -1)}
_NUMBERED = re.compile(r'\.\d{3,}$')


class ExportError(Exception):
    """A refusal; its text is what the user reads."""


_F32 = struct.Struct('<f')
_pack, _unpack = _F32.pack, _F32.unpack


def _reads_back(text, v):
    return _unpack(_pack(float(text)))[0] == v


def _nearest(v, digits, upper):
    text = '%.*g' % (digits, v)
    if _reads_back(text, v):
        return text
    if upper is not None:
        # Below a power of two the gap is half the gap above, so the decimal nearest to v can fall
        # outside on the short side while one above it still reads back.
        text = '%.*g' % (digits, upper)
        if _reads_back(text, v):
            return text
    return None


def float32_text(x):
    """The shortest text that reads back as float32(x), fixed or exponent form, whichever is shorter."""
    v = _unpack(_pack(x))[0] + 0.0  # negative zero is written 0
    upper = None
    if abs(frexp(v)[0]) == 0.5 and abs(v) >= 2.0 ** -125:
        upper = v + v * 2.0 ** -25  # a power of two: the middle of the half gap above it
    # Whether some decimal of n digits reads back only grows with n; most values need 7 or 8.
    digits, text = 7, _nearest(v, 7, upper)
    if text:
        while digits > 1:
            shorter = _nearest(v, digits - 1, upper)
            if not shorter:
                break
            digits, text = digits - 1, shorter
    else:
        text = _nearest(v, 8, upper) or '%.9g' % v
    if 'e' in text:
        # %g writes 150000 as 1.5e+05: the integer is no longer, and then rounding v gives its digits.
        exponent = int(text[text.index('e') + 1:])
        if 0 <= exponent and exponent + 1 + (text[0] == '-') <= len(text):
            text = '%.0f' % v
    elif text.lstrip('-').startswith('0.000') and len(text.lstrip('-')) == 6:
        text = text[:-6] + text[-1] + 'e-04'  # 0.0005 is one character longer than 5e-04
    return text


class NumberText(dict):
    """float32_text with a memory: times, zeros and ones repeat across bones."""

    def __missing__(self, x):
        text = self[x] = float32_text(x)
        return text


def axis_correction(forward, up):
    """The bone-space rotation whose columns are the node's X, Y and Z axes."""
    x, z = Vector(AXES[forward]), Vector(AXES[up])
    if x.cross(z).length < 0.5:
        raise ExportError('Bone axes: forward %s and up %s must be two different axes, not along one line'
                          % (forward, up))
    return Matrix((x, z.cross(x), z)).transposed().to_4x4()


def hierarchy_order(bones):
    """Parents before children, each subtree whole, in the armature's own order."""
    order, stack = [], [bone for bone in reversed(bones) if bone.parent is None]
    while stack:
        bone = stack.pop()
        order.append(bone)
        stack.extend(reversed(bone.children))
    return order


def is_animated(obj):
    """Something that can move the bones: an action, NLA strips, drivers or bone constraints."""
    for owner in (obj, obj.data):
        data = owner.animation_data
        if data and (data.action or data.drivers or data.nla_tracks):
            return True
    return any(bone.constraints for bone in obj.pose.bones)


def check(obj, frame_start, frame_end):
    """Refuses what the key format cannot hold, before anything is sampled; returns warnings."""
    bones = obj.data.bones
    if not is_animated(obj):
        raise ExportError('"%s" has no animation: no action, NLA strips, drivers or bone constraints'
                          % obj.name)
    if not bones:
        raise ExportError('"%s" has no bones' % obj.name)
    if len(bones) > MAX_BONES:
        raise ExportError('"%s" has %d bones; a key file holds at most %d'
                          % (obj.name, len(bones), MAX_BONES))
    frames = frame_end - frame_start + 1
    if frames < 1:
        raise ExportError('The frame range %d-%d is empty' % (frame_start, frame_end))
    if frames > MAX_KEYS:
        raise ExportError('Frames %d-%d make %d keys a bone; a key file holds at most %d'
                          % (frame_start, frame_end, frames, MAX_KEYS))
    for bone in bones:
        check_name(bone.name)
    numbered = [bone.name for bone in bones if _NUMBERED.search(bone.name)]
    return ['%d bone name(s) end in a numbered suffix, kept in the node names (%s): rename them if the '
            'skeleton has no such nodes' % (len(numbered), listed(numbered))] if numbered else []


def listed(names):
    return ', '.join(names[:5]) + (', ...' if len(names) > 5 else '')


def check_name(name):
    if '\n' in name or '\r' in name:
        raise ExportError('Bone name %r holds a line break, which would end its name line' % name)
    size = len(name.encode('utf-8'))
    if size > MAX_NAME_BYTES:
        raise ExportError('Bone name "%s" is %d bytes in UTF-8; a key file holds at most %d'
                          % (name, size, MAX_NAME_BYTES))


def sample(scene, obj, bones, frames, correction):
    """Each bone's node frame relative to its parent's (a root's to the armature) at each frame,
    as (location, quaternion, scale) tuples: constraints, drivers and IK come baked in."""
    pose = [obj.pose.bones[bone.name] for bone in bones]
    index = {bone.name: i for i, bone in enumerate(bones)}
    parents = [index[bone.parent.name] if bone.parent else -1 for bone in bones]
    tracks = [[] for _ in bones]
    current = scene.frame_current, scene.frame_subframe
    try:
        for frame in frames:
            scene.frame_set(frame)
            nodes = [bone.matrix @ correction for bone in pose]
            inverses = {i: nodes[i].inverted_safe() for i in set(parents) if i >= 0}
            for node, parent, track in zip(nodes, parents, tracks):
                track.append((inverses[parent] @ node if parent >= 0 else node).decompose())
    finally:
        scene.frame_set(current[0], subframe=current[1])
    return tracks


def key_text(names, tracks, times, duration, euler=False):
    """The key file's text, and the names of bones whose scale was not uniform."""
    number = NumberText()
    lines, uneven = [EULER_LINE if euler else QUATERNION_LINE, number[duration]], {}
    for name, track in zip(names, tracks):
        lines += ['Bone name: "%s";' % name, str(len(track))]
        previous = Euler() if euler else Quaternion()  # the first key as near to no turn as it comes
        for time, (location, rotation, scale) in zip(times, track):
            if euler:  # angles go on from the previous key instead of wrapping at +-180 degrees
                rotation = previous = rotation.to_euler('XYZ', previous)
            else:
                if previous.dot(rotation) < 0:
                    rotation.negate()  # else the converter would turn the long way round between the two
                previous = rotation
            size = sum(scale) / 3
            if max(abs(s - size) for s in scale) > SCALE_TOLERANCE * max(1.0, abs(size)):
                uneven[name] = True
            lines.append(' '.join([number[v] for v in (time, *location, *rotation, size)]))
    lines += ['Bone name: "%s";' % CLOSING_NAME, '0', '']
    return '\n'.join(lines), list(uneven)
