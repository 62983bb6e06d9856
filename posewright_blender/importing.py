"""The import: every sequence of a .kf (through posewright-keys) or one key text with its sequence file,
put on an armature as one action each. Everything is read and checked before the scene is touched."""

import math

import bpy

from . import convert, fcurves, files, keys, preferences, sequence
from .frames import on_frame
from .keytext import read_key_text
from .refusal import Refusal


def _sequence(keys_data, sequence_data):
    """(euler, records, settings) of a key file's bytes and its sequence file's (None: the defaults)."""
    euler, duration, records = read_key_text(keys_data)
    settings = sequence.defaults(duration) if sequence_data is None else sequence.read_sequence(
        sequence_data, duration, {name for name, _ in records})
    return euler, records, settings


def read_sequences(context, path, rate=None):
    """Every sequence of the file, and posewright-keys' problem lines: a .kf through posewright-keys,
    which samples curves at rate keys a second (else at its default)."""
    if path.lower().endswith('.kf'):
        pairs, problems = convert.read_kf(preferences.find_reader(context), path, rate)
        return [_sequence(*pair) for pair in pairs], problems
    return [_sequence(*files.read_pair(path))], []


RATES = (12, 15, 24, 25, 30, 48, 50, 60, 120)  # the common frame rates a file's keys are matched to


def _tracks(records, rate):
    """The frames of each bone's keys at rate (None for a key between two), bones with keys alone."""
    return [tuple(on_frame(key[0] * rate) for key in node_keys) for _, node_keys in records if node_keys]


def file_rate(sequences):
    """The smallest common rate that puts every key on a frame and some bone's keys on two frames in a
    row, or None."""
    for rate in RATES:
        tracks = [track for _, records, _ in sequences for track in _tracks(records, rate)]
        if all(None not in track for track in tracks) and any(
                b - a == 1 for track in tracks for a, b in zip(track, track[1:])):
            return rate
    return None


def _given_back(records, settings, fps):
    """Whether an export, which samples every frame from the first, gives back these keys: the sequence
    starts at 0 and each bone is keyed on every one of frames 0 to the same last."""
    tracks = set(_tracks(records, fps))
    return settings['start'] == 0 and len(tracks) <= 1 and all(t == tuple(range(len(t))) for t in tracks)


def _rate_warnings(sequences, fps, unmatched):
    """Keys between the scene's frames when the file's rate is unmatched, and the sequences an export
    would not give back."""
    between = unmatched and any(None in track for _, records, _ in sequences
                                for track in _tracks(records, fps))
    warnings = ['The keys fit none of the frame rates %s: they stay between the scene\'s frames at %g a '
                'second' % (', '.join(map(str, RATES)), fps)] if between else []
    uneven = [settings['name'] for _, records, settings in sequences
              if not _given_back(records, settings, fps)]
    if uneven:
        warnings.append('%d sequence(s) are not keyed on every frame from time 0 at %g a second (%s): an '
                        'export samples every frame, not these keys'
                        % (len(uneven), fps, keys.listed(uneven)))
    return warnings


def _problems(problems, sequences):
    """posewright-keys' problem lines and every bone that came with 0 keys, as one warning."""
    empty = list(dict.fromkeys(name for _, records, _ in sequences for name, node_keys in records
                               if not node_keys))
    found = [convert.summary('Problems posewright-keys found', problems)] if problems else []
    if empty:
        found.append('%d bone(s) came with 0 keys: %s' % (len(empty), ', '.join(empty)))
    return ['\n'.join(found)] if found else []


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
    if not euler:  # the export starts each bone's turns in the file's hemisphere, where the pose has none
        action[keys.TURNS] = {name: node_keys[0][4:8] for name, node_keys in records
                              if name in matched and node_keys}
    return action


def import_file(context, path, correction, update_rate=True, update_duration=True):
    """The actions made, and the warnings; refuses before anything changes. With update_rate the scene
    takes the file's frame rate, else curves are sampled at the scene's; with update_duration its range
    ends at the first sequence's last key."""
    obj = keys.find_armature(context)
    if obj is None:
        raise Refusal('No armature to import onto: select one and make it active')
    scene = context.scene
    fps, start = scene.render.fps / scene.render.fps_base, scene.frame_start
    sequences, problems = read_sequences(context, path, None if update_rate else fps)
    if not sequences:
        raise Refusal('%s holds no sequence' % path)
    matched, warnings = _matched(obj, sequences)
    rate = file_rate(sequences) if update_rate else None
    fps = rate or fps
    warnings += _problems(problems, sequences) + _rate_warnings(sequences, fps, update_rate and not rate)
    if rate:
        scene.render.fps, scene.render.fps_base = rate, 1

    def frame_of(time):
        whole = on_frame(time * fps)
        return start + (time * fps if whole is None else whole)

    actions = [_action(obj, *found, matched, correction, frame_of) for found in sequences]
    fcurves.assign(obj, actions[0])
    if update_duration:
        last = max((key[0] for _, node_keys in sequences[0][1] for key in node_keys
                    if math.isfinite(key[0])), default=0.0)
        scene.frame_end = max(start, math.ceil(frame_of(last)))
    return actions, warnings
