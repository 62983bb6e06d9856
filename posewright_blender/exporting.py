"""The export's steps: the key text of an armature's frames, the sequence file of its action (pose
markers as text keys, the settings an import kept), both written, then converted when asked."""

import os

from . import files, keys, sequence
from .keytext import key_text
from .refusal import Refusal


def armature(context):
    obj = keys.find_armature(context)
    if obj is None:
        raise Refusal('No armature to export: select one and make it active')
    if obj.mode == 'EDIT':
        obj.update_from_editmode()  # bones changed in edit mode reach the pose only through this
    return obj


def keys_text(scene, obj, first, last, correction, euler, every=False):
    """The key text, its bones' names, the warnings, and how many bones were left out: with every, none;
    else each bone the armature's action does not move. The action is sampled from the rest pose, so
    that no pose it does not set (left by hand or by another action) reaches its keys."""
    keys.check(obj, first, last)
    warnings = ['"%s" itself moves (its location, rotation or scale is animated): that motion is not '
                'exported, only the bones\' relative to it' % obj.name] if keys.object_motion(obj) else []
    action = obj.animation_data.action if obj.animation_data else None
    bones = keys.hierarchy_order(obj.data.bones)
    with keys.from_rest(obj, action) as keyed:
        tracks = keys.sample(scene, obj, bones, range(first, last + 1), correction)
    if not every:
        moving = keys.moving(obj, bones, tracks, correction)
        kept = [i for i, bone in enumerate(bones) if bone.name in keyed or moving[i]]
        bones, tracks = [bones[i] for i in kept], [tracks[i] for i in kept]
    names = [bone.name for bone in bones]
    warnings = keys.check_bones(obj, names, every) + warnings
    fps = scene.render.fps / scene.render.fps_base
    times = [(frame - first) / fps for frame in range(first, last + 1)]
    turns = action.get(keys.TURNS, {}) if action else {}
    text, uneven = key_text(names, tracks, times, (last - first) / fps, euler=euler, turns=turns)
    if uneven:
        warnings.append('Scale is not uniform on %d bone(s) (%s): the mean of the three is written'
                        % (len(uneven), keys.listed(uneven)))
    return text, names, warnings, len(obj.data.bones) - len(names)


def settings(obj, name, first, last, fps, names):
    """The sequence settings of the armature's action, and the warnings."""
    action = obj.animation_data.action if obj.animation_data else None
    found = sequence.defaults((last - first) / fps)
    if action is None:
        found['name'] = name or found['name']
        return found, []
    kept = sequence.kept(action)
    if kept:
        order = {node: i for i, node in enumerate(names)}  # priorities of bones not exported are dropped
        kept['priorities'] = sorted((p for p in kept['priorities'] if p[0] in order),
                                    key=lambda p: order[p[0]])
        found.update(kept)
    found['name'] = name or (kept['name'] if kept else action.name)
    markers = sorted(action.pose_markers, key=lambda marker: marker.frame)
    outside = [marker.name for marker in markers if not first <= marker.frame <= last]
    if markers or kept:
        found['text_keys'] = [((marker.frame - first) / fps, marker.name) for marker in markers
                              if first <= marker.frame <= last]
    return found, ['%d pose marker(s) outside frames %d-%d are not exported: %s'
                   % (len(outside), first, last, keys.listed(outside))] if outside else []


def write_pair(path, text, found, duration):
    """The key file and, when its settings are not what the converter writes by default, the sequence
    file; without one, an old sequence file goes, so that it cannot change the next conversion."""
    settings, defaults = (sequence.sequence_text(s, os.path.basename(path))
                          for s in (found, sequence.defaults(duration)))
    files.write_pair(path, text, settings if settings != defaults else None)
