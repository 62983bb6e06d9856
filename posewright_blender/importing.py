"""The import: every sequence of a .kf (through posewright-keys) or one key text with its sequence file,
put on an armature as one action each. Everything is read and checked before the scene is touched."""

import math
import os

import bpy

from . import convert, keys, sequence
from .keytext import Refusal, read_key_text


def _read(path):
    try:
        with open(path, 'rb') as stream:
            return stream.read()
    except OSError as error:
        raise Refusal('Could not read %s: %s' % (path, error)) from None


def read_pair(keys_path):
    """(euler, records, settings) of a key file and the sequence file beside it, if any."""
    euler, duration, records = read_key_text(_read(keys_path))
    settings = sequence.defaults(duration)
    if os.path.isfile(sequence.sequence_path(keys_path)):
        settings = sequence.read_sequence(_read(sequence.sequence_path(keys_path)), duration,
                                          {name for name, _ in records})
    return euler, records, settings


def read_sequences(path, reader):
    """Every sequence of the file; reader() finds posewright-keys when the file is a .kf."""
    if path.lower().endswith('.kf'):
        return convert.read_kf(reader(), path, read_pair)
    return [read_pair(path)]


def _matched(obj, sequences):
    """The node names that are bones of obj; warnings for the others."""
    names = list(dict.fromkeys(name for _, records, _ in sequences for name, _ in records))
    matched = {name for name in names if name in obj.data.bones}
    if not matched:
        raise Refusal('None of the %d node(s) in the file is a bone of "%s" (%s)'
                      % (len(names), obj.name, keys.listed(names) or 'no node'))
    missing = [name for name in names if name not in matched]
    return matched, ['%d node(s) in the file are not bones of "%s" and were left out: %s'
                     % (len(missing), obj.name, keys.listed(missing))] if missing else []


def _action(obj, euler, records, settings, matched, correction, frame_of):
    action = bpy.data.actions.new(settings['name'])
    action.use_fake_user = True  # the sequences not assigned would be lost on saving otherwise
    for name, node_keys in records:
        if name in matched and node_keys:
            keys.put_keys(action, obj, name, node_keys, euler, [frame_of(key[0]) for key in node_keys],
                          correction)
    for time, text in settings['text_keys']:
        action.pose_markers.new(text).frame = round(frame_of(time))  # a marker holds a whole frame
    sequence.keep(action, settings)
    return action


def import_file(context, path, reader, correction):
    """The actions made, and the warnings; refuses before anything changes."""
    obj = keys.find_armature(context)
    if obj is None:
        raise Refusal('No armature to import onto: select one and make it active')
    sequences = read_sequences(path, reader)
    if not sequences:
        raise Refusal('%s holds no sequence' % path)
    matched, warnings = _matched(obj, sequences)
    scene = context.scene
    fps, start = scene.render.fps / scene.render.fps_base, scene.frame_start
    frame_of = lambda time: start + time * fps
    actions = [_action(obj, *found, matched, correction, frame_of) for found in sequences]
    (obj.animation_data or obj.animation_data_create()).action = actions[0]
    last = max((key[0] for _, node_keys in sequences[0][1] for key in node_keys), default=0.0)
    # Whole frames from the start frame; a time that is a whole frame but for rounding stays that frame.
    scene.frame_end = start + max(0, math.ceil(round(last * fps, 4)))
    return actions, warnings
