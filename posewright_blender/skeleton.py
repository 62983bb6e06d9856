"""The skeleton import: a skeleton's nodes (posewright-keys --nodes on a .nif, or its node text) built
into one armature, a bone per node, whose rest pose the export samples back as each node's own
transform."""

import os

import bpy
from mathutils import Matrix, Quaternion, Vector

from . import convert, files, keys, preferences
from .nodetext import read_node_text
from .refusal import Refusal

SCALE_TOLERANCE = 1e-5  # as near 1 as the rest pose gives a scale back
# Of the skeleton's size. Blender keeps a bone's head and tail in single precision, so a bone much
# shorter than its distance from the origin points off its node's axis: from a two-hundredth of the size
# by less than 1e-5. A bone without one child gets a twentieth, and at least what Blender keeps (1e-6).
SHORTEST, FALLBACK, FALLBACK_LEAST = 1 / 200, 1 / 20, 1e-3


def read_nodes(context, path):
    """The nodes of a .nif (through posewright-keys) or of a node text, and posewright-keys' problem lines."""
    if path.lower().endswith('.nif'):
        data, problems = convert.read_nodes(preferences.find_reader(context), path)
    else:
        data, problems = files.read(path), []
    nodes = read_node_text(data)
    if not nodes:
        raise Refusal('%s holds no node' % path)
    return nodes, problems


def _parents(nodes):
    """Each node's parent (-1: a root): the first node of the name it gives."""
    first = {}
    for i, (name, *_) in enumerate(nodes):
        first.setdefault(name, i)
    missing = next((node for node in nodes if node[1] and node[1] not in first), None)
    if missing:
        raise Refusal('Node "%s" has a parent "%s" that is no node' % missing[:2])
    return [first[parent] if parent else -1 for _, parent, *_ in nodes]


def _worlds(nodes, parents):
    """Each node's frame in the armature's space: its parents' composed with its own, scale and all."""
    worlds = [None] * len(nodes)
    for i in range(len(nodes)):
        chain = []
        while i >= 0 and worlds[i] is None:  # up to a node placed already, or past a root
            if i in chain:
                raise Refusal('Node "%s" is among its own parents' % nodes[i][0])
            chain.append(i)
            i = parents[i]
        world = worlds[i] if i >= 0 else Matrix.Identity(4)
        for j in reversed(chain):
            _, _, location, rotation, scale = nodes[j]
            world = worlds[j] = world @ Matrix.LocRotScale(Vector(location), Quaternion(rotation).normalized(),
                                                           Vector((scale,) * 3))
    return worlds


def _lengths(heads, parents):
    """Each bone's length: the distance to its child's head when it has one child, else one that fits
    the skeleton's size."""
    children = [[] for _ in heads]
    for i, parent in enumerate(parents):
        if parent >= 0:
            children[parent].append(i)
    size = max(head.length for head in heads)
    fallback = max(size * FALLBACK, FALLBACK_LEAST)
    lengths = [(heads[below[0]] - head).length if len(below) == 1 else 0 for head, below in zip(heads, children)]
    return [length if length >= max(size * SHORTEST, FALLBACK_LEAST) else fallback for length in lengths]


def _armature(context, name):
    """A new armature object in the active collection, the only one selected, active, in edit mode."""
    if context.object and context.object.mode != 'OBJECT':
        bpy.ops.object.mode_set(mode='OBJECT')
    for obj in context.selected_objects:
        obj.select_set(False)
    obj = bpy.data.objects.new(name, bpy.data.armatures.new(name))
    context.collection.objects.link(obj)
    obj.select_set(True)
    context.view_layer.objects.active = obj
    bpy.ops.object.mode_set(mode='EDIT')
    return obj


def build(context, name, nodes, correction):
    """The armature of the nodes, and the warnings."""
    parents = _parents(nodes)
    worlds = _worlds(nodes, parents)
    frames = [world.decompose() for world in worlds]
    obj = _armature(context, name)
    bones = []
    for (node, *_), (head, rotation, _), length in zip(nodes, frames, _lengths([f[0] for f in frames], parents)):
        bone = obj.data.edit_bones.new(node)
        bone.tail = (0, length, 0)  # setting the matrix keeps the length
        rest = keys.bone_rest(Matrix.LocRotScale(head, rotation, None), correction)
        bone.matrix = rest
        # The roll again, from the head and tail as stored: the first, taken from the exact direction,
        # was seen to turn a bone about itself by 1e-4 once its direction was rounded.
        bone.align_roll(rest.col[2].xyz)
        bones.append(bone)
    for bone, parent in zip(bones, parents):
        bone.parent = bones[parent] if parent >= 0 else None
    renamed = ['"%s" as "%s"' % (node[0], bone.name) for node, bone in zip(nodes, bones) if bone.name != node[0]]
    bpy.ops.object.mode_set(mode='OBJECT')
    scaled = ['%s (%g)' % (node[0], node[4]) for node in nodes if abs(node[4] - 1) > SCALE_TOLERANCE]
    warnings = ['%d node(s) have a scale other than 1, which the rest pose of a bone does not hold: %s. Their '
                'bones are at scale 1, their children where the scale puts them'
                % (len(scaled), keys.listed(scaled))] if scaled else []
    if renamed:
        warnings.append('%d node name(s) are not bone names as they stand (Blender\'s are unique, not empty, '
                        'at most 63 bytes): %s' % (len(renamed), keys.listed(renamed)))
    return obj, warnings


def import_skeleton(context, path, correction):
    """The armature made of the skeleton at path (.nif or node text), and the warnings; refuses before
    anything changes."""
    nodes, problems = read_nodes(context, path)
    stem = os.path.splitext(os.path.basename(path))[0]
    obj, warnings = build(context, stem[:-6] if stem.endswith('_nodes') else stem, nodes, correction)
    found = [convert.summary('Problems posewright-keys found', problems)] if problems else []
    return obj, found + warnings
