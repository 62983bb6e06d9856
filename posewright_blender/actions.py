"""All Actions: the actions that animate an armature's bones, each exported in turn over its own frame
range under a file name of its own, with the armature's action and the scene's frame put back after."""

import math
import re
from contextlib import contextmanager

import bpy

from . import fcurves
from .frames import ON_FRAME, on_frame

_BONE_PATH = re.compile(r'pose\.bones\["(?:[^"\\]|\\.)*"\]')
_UNFIT = re.compile(r'[<>:"/\\|?*\x00-\x1f]')  # what a file name cannot hold on Windows, and the separators
_DEVICE = re.compile(r'(CON|PRN|AUX|NUL|COM\d|LPT\d)(\..*)?$', re.IGNORECASE)  # Windows opens a device


def bone_actions(obj):
    """The actions with a curve on one of the armature's bones, in Blender's order."""
    paths = {'pose.bones["%s"]' % bpy.utils.escape_identifier(bone.name) for bone in obj.pose.bones}
    on_bone = lambda curve: (path := _BONE_PATH.match(curve.data_path)) and path.group() in paths
    return [action for action in bpy.data.actions
            if any(on_bone(curve) for curve in fcurves.curves(action, obj))]


def frame_range(action, obj):
    """The whole frames that cover the action's range, and whether a key of it for obj falls between
    frames."""
    start, end = action.frame_range
    between = any(on_frame(point.co[0]) is None for curve in fcurves.curves(action, obj)
                  for point in curve.keyframe_points)
    return math.floor(start + ON_FRAME), math.ceil(end - ON_FRAME), between


def file_names(names):
    """A file name for each name, without extension: unfit characters become '_', and one that a name
    before it took (in any case, on its own or as the key file of that one's sequence file) gets _2, _3..."""
    taken, stems = set(), []
    for name in names:
        stem = _UNFIT.sub('_', name) or '_'
        stem = '_' + stem if _DEVICE.match(stem) else stem
        candidate, n = stem, 1
        while {candidate.casefold(), candidate.casefold() + '.sequence'} & taken:
            n += 1
            candidate = '%s_%d' % (stem, n)
        taken |= {candidate.casefold(), candidate.casefold() + '.sequence'}
        stems.append(candidate)
    return stems


@contextmanager
def kept_scene(scene, obj):
    """A body that may assign the armature other actions and move the scene's frame: its action and the
    current frame are put back afterwards (and the animation data dropped when there was none)."""
    had, current = obj.animation_data is not None, (scene.frame_current, scene.frame_subframe)
    action = obj.animation_data.action if had else None
    try:
        yield
    finally:
        fcurves.assign(obj, action)
        if not had:
            obj.animation_data_clear()
        scene.frame_set(current[0], subframe=current[1])
