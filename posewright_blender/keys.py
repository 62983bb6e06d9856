"""The pose side: an armature's bones sampled into node keys for the export, and node keys put back
on the bones as an action for the import, and nodes as bones' rest for the skeleton import, through
one axis correction."""

import re
from contextlib import contextmanager

import bpy
from mathutils import Euler, Matrix, Quaternion, Vector

from . import fcurves
from .keytext import MAX_BONES, MAX_KEYS, MAX_NAME_BYTES
from .refusal import Refusal

AXES = {'X': (1, 0, 0), 'Y': (0, 1, 0), 'Z': (0, 0, 1), '-X': (-1, 0, 0), '-Y': (0, -1, 0), '-Z': (0, 0, -1)}
_NUMBERED = re.compile(r'\.\d{3,}$')
TURNS = 'posewright_first_turns'  # an action's: each bone's first imported rotation, w x y z


def axis_correction(forward, up):
    """The bone-space rotation whose columns are the node's X, Y and Z axes."""
    x, z = Vector(AXES[forward]), Vector(AXES[up])
    if x.cross(z).length < 0.5:
        raise Refusal('Bone axes: forward %s and up %s must be two different axes, not along one line'
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
    """Refuses an armature or frames the key format cannot hold, before anything is sampled."""
    if not is_animated(obj):
        raise Refusal('"%s" has no animation: no action, NLA strips, drivers or bone constraints'
                      % obj.name)
    if not obj.data.bones:
        raise Refusal('"%s" has no bones' % obj.name)
    frames = frame_end - frame_start + 1
    if frames < 1:
        raise Refusal('The frame range %d-%d is empty' % (frame_start, frame_end))
    if frames > MAX_KEYS:
        raise Refusal('Frames %d-%d make %d keys a bone; a key file holds at most %d'
                      % (frame_start, frame_end, frames, MAX_KEYS))


def check_bones(obj, names, every):
    """Refuses the bones to write (every bone of the armature, or those that move) that the key format
    cannot hold; returns warnings."""
    if not names:
        raise Refusal('Nothing moves a bone of "%s" in these frames: All Bones writes them all at rest'
                      % obj.name)
    if len(names) > MAX_BONES:
        raise Refusal('"%s" has %d bones%s; a key file holds at most %d'
                      % (obj.name, len(names), '' if every else ' that move', MAX_BONES))
    for name in names:
        check_name(name)
    numbered = [name for name in names if _NUMBERED.search(name)]
    return ['%d bone name(s) end in a numbered suffix, kept in the node names (%s): rename them if the '
            'skeleton has no such nodes' % (len(numbered), listed(numbered))] if numbered else []


def listed(names):
    return ', '.join(names[:5]) + (', ...' if len(names) > 5 else '')


def check_name(name):
    if '\n' in name or '\r' in name:
        raise Refusal('Bone name %r holds a line break, which would end its name line' % name)
    size = len(name.encode('utf-8'))
    if size > MAX_NAME_BYTES:
        raise Refusal('Bone name "%s" is %d bytes in UTF-8; a key file holds at most %d'
                      % (name, size, MAX_NAME_BYTES))


def _relative(nodes, parents):
    """Each node frame relative to its parent's (-1: none), as (location, quaternion, scale)."""
    inverses = {i: nodes[i].inverted_safe() for i in set(parents) if i >= 0}
    return [(inverses[parent] @ node if parent >= 0 else node).decompose() for node, parent in zip(nodes, parents)]


def _parents(bones):
    index = {bone.name: i for i, bone in enumerate(bones)}
    return [index[bone.parent.name] if bone.parent else -1 for bone in bones]


def sample(scene, obj, bones, frames, correction):
    """Each bone's node frame relative to its parent's (a root's to the armature) at each frame,
    as (location, quaternion, scale) tuples: constraints, drivers and IK come baked in."""
    pose, parents = [obj.pose.bones[bone.name] for bone in bones], _parents(bones)
    tracks = [[] for _ in bones]
    current = scene.frame_current, scene.frame_subframe
    try:
        for frame in frames:
            scene.frame_set(frame)
            for key, track in zip(_relative([bone.matrix @ correction for bone in pose], parents), tracks):
                track.append(key)
    finally:
        scene.frame_set(current[0], subframe=current[1])
    return tracks


# A bone's transform at rest: each channel's values, whatever its rotation mode.
_REST = (('location', (0, 0, 0)), ('rotation_quaternion', (1, 0, 0, 0)), ('rotation_euler', (0, 0, 0)),
         ('rotation_axis_angle', (0, 0, 1, 0)), ('scale', (1, 1, 1)))
# How far a sampled key may lie from its rest and still be at rest: the float32 rounding of the matrices
# a constraint puts it through (a bone nothing moves comes back as its rest exactly). Location relative
# to the armature's size, as rounding grows with the numbers. The quaternion's and the scale's components
# as they are: a world-space limit or volume constraint on a bone far from the origin was seen to round
# them by up to 2e-5, and 1e-4 (a turn of 0.01 degree) is still far below a motion anyone would see.
LOCATION_TOLERANCE, COMPONENT_TOLERANCE = 1e-5, 1e-4


def _bone_path(name):
    return 'pose.bones["%s"].' % bpy.utils.escape_identifier(name)


@contextmanager
def from_rest(obj, action):
    """A body that samples action from the rest pose: each location, rotation and scale channel of a bone
    that no F-curve of action sets is put at rest, and after the body every bone's pose is put back.
    Yields the names of the bones that action has such F-curves for."""
    curves = {(curve.data_path, curve.array_index) for curve in fcurves.curves(action, obj)} if action else set()
    keyed, kept = set(), []
    for pose in obj.pose.bones:
        path = _bone_path(pose.name)
        for prop, rest in _REST:
            values = getattr(pose, prop)
            kept.append((pose, prop, tuple(values)))
            for index, value in enumerate(rest):
                if (path + prop, index) in curves:
                    keyed.add(pose.name)
                else:
                    values[index] = value
    try:
        yield keyed
    finally:
        for pose, prop, values in kept:
            setattr(pose, prop, values)


def moving(obj, bones, tracks, correction):
    """Whether each bone's sampled track leaves its rest pose (beyond the tolerances) at some frame."""
    rests = _relative([bone.matrix_local @ correction for bone in bones], _parents(bones))
    size = max(abs(c) for bone in obj.data.bones for point in (bone.head_local, bone.tail_local) for c in point)
    far = lambda a, b, tolerance: any(abs(x - y) > tolerance for x, y in zip(a, b))

    def leaves(track, rest):
        location, rotation, scale = rest
        return any(far(at, location, LOCATION_TOLERANCE * size) or far(scaled, scale, COMPONENT_TOLERANCE)
                   or far(turn if turn.dot(rotation) >= 0 else -turn, rotation, COMPONENT_TOLERANCE)
                   for at, turn, scaled in track)
    return [leaves(track, rest) for track, rest in zip(tracks, rests)]


def find_armature(context):
    """The active armature, the rig of an active mesh, else a selected armature; None when there is none."""
    obj = context.active_object
    if obj is not None and obj.type != 'ARMATURE':
        obj = obj.find_armature()  # the rig of a character mesh that was clicked
    if obj is None:
        obj = next((o for o in context.selected_objects if o.type == 'ARMATURE'), None)
    return obj


_TRANSFORMS = {prefix + name for prefix in ('', 'delta_') for name in
               ('location', 'rotation_euler', 'rotation_quaternion', 'rotation_axis_angle', 'scale')}


def object_motion(obj):
    """Whether the armature object's own location, rotation or scale is animated or driven."""
    data = obj.animation_data
    curves = [*(fcurves.curves(data.action, obj) if data.action else ()), *data.drivers] if data else []
    return any(curve.data_path in _TRANSFORMS for curve in curves)


# ---- the imports: sample()'s inverse ---------------------------------------------------------------

def bone_rest(node, correction):
    """A bone's rest matrix (armature space) whose sample() at rest is the node frame node: there a
    node is bone.matrix @ correction, and at rest bone.matrix is the rest matrix."""
    return node @ correction.inverted()


LINEAR = 1  # the keyframe interpolation enum's value, set in bulk
_ROTATION_PATHS = {'QUATERNION': 'rotation_quaternion', 'AXIS_ANGLE': 'rotation_axis_angle'}  # else Euler


def _before_key(bone, correction):
    """M with basis = M @ key @ correction.inverted(), inverting sample(): there a key is parent
    node^-1 @ bone.matrix @ correction, a node being its bone.matrix @ correction, and Blender poses
    bone.matrix = parent's bone.matrix @ rest offset @ basis."""
    if bone.parent is None:
        return bone.matrix_local.inverted()
    return (bone.parent.matrix_local.inverted() @ bone.matrix_local).inverted() @ correction


def _channels(pose, bases):
    """The pose bone's (property, values of each key) for these basis matrices, rotations continuous."""
    mode = pose.rotation_mode
    locations, rotations, scales, previous = [], [], [], None
    for basis in bases:
        location, rotation, scale = basis.decompose()
        if mode == 'QUATERNION':
            if previous is not None and previous.dot(rotation) < 0:
                rotation.negate()
            previous = rotation
        elif mode == 'AXIS_ANGLE':
            axis, angle = rotation.to_axis_angle()
            rotation = (angle, *axis)
        else:
            rotation = previous = rotation.to_euler(mode, previous) if previous else rotation.to_euler(mode)
        locations.append(location)
        rotations.append(rotation)
        scales.append(scale)
    rotation_path = _ROTATION_PATHS.get(mode, 'rotation_euler')
    return (('location', locations), (rotation_path, rotations), ('scale', scales))


def put_keys(action, obj, name, keys, euler, frames, correction):
    """One bone's keys (nine-slot lists) as the action's F-curves, each key at its frame, linear."""
    before, after = _before_key(obj.data.bones[name], correction), correction.inverted()
    bases = []
    for _, x, y, z, w, i, j, k, s in keys:
        rotation = Euler((i, j, k), 'XYZ').to_quaternion() if euler else Quaternion((w, i, j, k)).normalized()
        bases.append(before @ Matrix.LocRotScale(Vector((x, y, z)), rotation, Vector((s, s, s))) @ after)
    quoted = _bone_path(name)
    for prop, values in _channels(obj.pose.bones[name], bases):
        for index in range(len(values[0])):
            curve = fcurves.new_curve(action, obj, quoted + prop, index, name)
            points = curve.keyframe_points
            points.add(len(frames))
            points.foreach_set('co', [c for at, value in zip(frames, values) for c in (at, value[index])])
            points.foreach_set('interpolation', [LINEAR] * len(frames))
            curve.update()
