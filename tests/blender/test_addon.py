# The add-on installed from its zip into a fresh Blender (an extension from 4.2, a legacy add-on before),
# run on rigs built here, then the converter's road; under `blender --python` or a Python holding bpy.
# Needs POSEWRIGHT_ADDON_ZIP; the road POSEWRIGHT, POSEWRIGHT_TEMPLATE and POSEWRIGHT_KEYS (unset: it fails).

import functools
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from contextlib import nullcontext, redirect_stdout

import bpy
from mathutils import Matrix

H, R = math.sqrt(0.5), math.radians
TEMPLATE = os.environ.get('POSEWRIGHT_TEMPLATE')
QUATERNIONS = 'Rotations as Quaternions: time, position x y z, rotation w x y z, scale\n'
ZERO = '0 0 0 0 1 0 0 0 1'  # a key of no motion
SEQUENCE = ('# Sequence settings for walk.cycle.txt\nName "Run"\nCycle clamp\nFrequency 1\nWeight 0.5\nStart 0\n'
            'Stop 0.041666668\nAccumulation root none\nText key 0.041666668 "a \\"step\\""\nPriority "Root" 30\n')
CHAIN = [('Child', (0, 2, 0), (0, 3, 0), 'Root'), ('Root', (0, 0, 0), (0, 2, 0), None)]  # parent second
EXTENSION = bpy.app.version >= (4, 2)
ADDON = 'bl_ext.user_default.posewright_blender' if EXTENSION else 'posewright_blender'  # its module


def addon(module):
    return sys.modules[ADDON + '.' + module]


def curve_points(action, rig):  # every key of the rig's F-curves, through the add-on's one layer
    return [p for curve in addon('fcurves').curves(action, rig) for p in curve.keyframe_points]


# A new scene with this rig, active; bones: (name, head, tail, parent); the first keyed unless told.
def make_rig(bones=CHAIN, frame_end=3, keyed=True):
    bpy.ops.wm.read_homefile(use_empty=True)
    bpy.context.scene.frame_end = frame_end
    obj = bpy.data.objects.new('Rig', bpy.data.armatures.new('Rig'))
    bpy.context.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    bpy.ops.object.mode_set(mode='EDIT')
    for name, head, tail, _ in bones:
        bone = obj.data.edit_bones.new(name)
        bone.head, bone.tail = head, tail
    for name, _, _, parent in bones:
        obj.data.edit_bones[name].parent = obj.data.edit_bones.get(parent or '')
    bpy.ops.object.mode_set(mode='OBJECT')
    if keyed:
        key(obj, bones[0][0], 1, location=(0, 0, 0))
    return obj


def key(obj, bone, frame, **values):
    pose = obj.pose.bones[bone]
    pose.rotation_mode = 'XYZ'
    for prop, value in values.items():
        setattr(pose, prop, value)
        pose.keyframe_insert(prop, frame=frame)


# The operator's printed reports (and the programs' transcripts); an ERROR report raises RuntimeError.
def run(operator, path, **options):
    with redirect_stdout(io.StringIO()) as out:
        operator(filepath=path, **options)
    return out.getvalue()


export = functools.partial(run, bpy.ops.export_anim.posewright_keys)
load = functools.partial(run, bpy.ops.import_anim.posewright_keys)


def write(path, text):
    with open(path, 'w', encoding='utf-8', newline='') as stream:
        stream.write(text)
    return path


def record(name, *keys):
    return 'Bone name: "%s";\n%d\n' % (name, len(keys)) + ''.join(k + '\n' for k in keys)


def transcript(program, *arguments, folder=None):
    return subprocess.run([os.environ[program], *arguments], cwd=folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, timeout=60).stdout.decode()


# The key text converted, then read back by posewright-keys: the .kf.
def programs_road(text):
    kf = addon('convert').convert(
        os.environ['POSEWRIGHT'], TEMPLATE, write(tempfile.mkdtemp() + '/road.txt', text))[1]
    transcript('POSEWRIGHT_KEYS', kf)
    return kf


# (euler, duration, {bone: [nine slots of each key]}) through the add-on's reader, which the refusal rows
# tie to the converter's.
def read_keys(path):
    euler, duration, records = addon('keytext').read_key_text(open(path, 'rb').read())
    return euler, duration, dict(records)


# nodes.md's chain (name, parent, translation, rotation w x y z, scale) and its world positions.
NODES = [('Root', '', 0, 0, 10, 1, 0, 0, 0, 1), ('Mid', 'Root', 5, 0, 0, H, 0, 0, H, 1), ('Tip', 'Mid', 2, 0, 0, 1, 0, 0, 0, 1)]
HEADS = [(0, 0, 10), (5, 0, 10), (5, 2, 10)]


class AddonTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):  # as the docs tell a user: Install from Disk from 4.2, Install... before
        if EXTENSION:
            bpy.ops.extensions.package_install_files(filepath=os.environ['POSEWRIGHT_ADDON_ZIP'],
                                                     repo='user_default', enable_on_install=True)
        else:
            bpy.ops.preferences.addon_install(filepath=os.environ['POSEWRIGHT_ADDON_ZIP'])
            bpy.ops.preferences.addon_enable(module=ADDON)
        here = os.path.dirname(addon('keytext').__file__)
        assert here.startswith(bpy.utils.user_resource('EXTENSIONS' if EXTENSION else 'SCRIPTS')), 'zip'
        manifest = open(here + '/blender_manifest.toml').read()
        version = re.search(r'^version = "(\d+)\.(\d+)\.(\d+)"', manifest, re.M).groups()
        assert "'version': (%s, %s, %s)" % version in open(here + '/__init__.py').read(), 'bl_info agrees'
        # The channel bags of a slot wherever Blender has them: 4.5 keeps the flat list too, 5.x does not.
        assert addon('fcurves').SLOTTED == (bpy.app.version >= (4, 4)), 'the slotted way where there is one'

    def setUp(self):  # a folder a test (in run.sh's scratch folder), and a dot that must not cut the .kf's name
        preferences = bpy.context.preferences.addons[ADDON].preferences
        preferences.converter, preferences.reader = os.environ['POSEWRIGHT'], os.environ['POSEWRIGHT_KEYS']
        preferences.skeleton = ''
        self.path = os.path.join(tempfile.mkdtemp(), 'walk.cycle.txt')

    def assertKeys(self, bone, columns, expected, **options):
        export(self.path, **options)
        actual = [v for k in read_keys(self.path)[2][bone] for v in k[columns]]
        self.assertEqual(len(actual), len(expected))
        self.assertLess(max(abs(a - e) for a, e in zip(actual, expected)), 1e-5, (actual, expected))

    # Bones, key counts and times exact; every other number within tolerance relative to max(1, |value|).
    def assertSameKeys(self, first, second, tolerance):
        self.assertEqual([first[:2], list(first[2])], [second[:2], list(second[2])])
        for bone, keys in first[2].items():
            self.assertEqual([k[0] for k in keys], [k[0] for k in second[2][bone]])
            for a, b in zip(sum(keys, []), sum(second[2][bone], [])):
                self.assertLessEqual(abs(a - b), tolerance * max(1, abs(a)), bone)

    def test_bone_axes_order_and_constraints(self):
        rig = make_rig(frame_end=1)  # the child turned about its own Y, 60 degrees that a constraint bakes to 30
        key(rig, 'Child', 1, rotation_euler=(0, R(60), 0))
        limit = rig.pose.bones['Child'].constraints.new('LIMIT_ROTATION')
        limit.use_limit_y, limit.max_y, limit.owner_space = True, R(30), 'LOCAL'
        c, s = math.cos(R(15)), math.sin(R(15))
        # forward, up: the root's rotation (w x y z), the child's offset (the root is 2 long along Y) and turn;
        # the root, which the action does not move, written at rest by All Bones
        for forward, up, root, child in (('Y', 'Z', [H, 0, 0, H], [2, 0, 0, c, s, 0, 0]),
                                         ('X', 'Z', [1, 0, 0, 0], [0, 2, 0, c, 0, s, 0]),
                                         ('Z', 'Y', [0.5, -0.5, -0.5, -0.5], [0, 0, 2, c, 0, 0, s])):
            self.assertKeys('Root', slice(4, 8), root, axis_forward=forward, axis_up=up, all_bones=True)
            self.assertKeys('Child', slice(1, 8), child, axis_forward=forward, axis_up=up, all_bones=True)
            self.assertEqual(list(read_keys(self.path)[2]), ['Root', 'Child'])

    def test_the_bones_the_action_moves(self):
        # Of nine bones, B0 keyed at rest, B4 turned and B7 turned by a constraint after B4 are written; B2,
        # posed by hand, is sampled at rest (left out, or written there by All Bones) and its pose kept.
        rig = make_rig([('B%d' % i, (i, 0, 0), (i, 1, 0), None) for i in range(9)])
        key(rig, 'B4', 2, rotation_euler=(1, 0, 0))
        copy = rig.pose.bones['B7'].constraints.new('COPY_ROTATION')
        copy.target, copy.subtarget, rig.pose.bones['B2'].location = rig, 'B4', (0, 5, 0)
        self.assertRegex(export(self.path), r'Info: 6 bone\(s\) the action does not move were left out; All Bones')
        self.assertEqual(list(read_keys(self.path)[2]), ['B0', 'B4', 'B7'])
        self.assertNotIn('left out', export(self.path, all_bones=True))
        written = read_keys(self.path)[2]
        self.assertEqual([len(written), written['B2'][0][1:4], rig.pose.bones['B2'].matrix.translation[:]],
                         [9, [2, 0, 0], (2, 5, 0)])

    def test_rotation_stays_continuous(self):
        # Raw quaternions flip sign past 180 degrees and angles wrap at +-180: neither may reach the file.
        angles = [R(a) for a in (0, 170, 190, 350, 370)]
        rig = make_rig(CHAIN[1:], len(angles))
        for frame, angle in enumerate(angles, 1):
            key(rig, 'Root', frame, rotation_euler=(0, 0, angle))
        quaternions = [v for a in angles for v in (math.cos(a / 2), 0, 0, math.sin(a / 2))]
        eulers = [v for a in angles for v in (0, 0, a)]
        for form, columns, expected in (('QUATERNION', slice(4, 8), quaternions), ('EULER', slice(5, 8), eulers)):
            self.assertKeys('Root', columns, expected, rotation=form, axis_forward='X')
            self.assertEqual(read_keys(self.path)[0], form == 'EULER')

    def test_limits_and_warnings(self):
        many = [('B%d' % i, (0, 0, i), (0, 0, i + 1), None) for i in range(300)]
        for n, (setup, options, error) in enumerate((
                (lambda: bpy.ops.wm.read_homefile(use_empty=True), {}, 'No armature'),
                (lambda: make_rig(keyed=False), {}, 'no animation'),
                (lambda: make_rig(many[:299]), {'all_bones': True}, None),
                (lambda: make_rig(many), {'all_bones': True}, '300 bones.* 299'),
                (make_rig, {'frame_end': 1536}, None), (make_rig, {'frame_end': 1537}, '1537 keys.* 1536'),
                (make_rig, {'axis_up': '-Y'}, 'two different axes'))):
            setup()
            path = '%s.%d.txt' % (self.path, n)
            with self.assertRaisesRegex(RuntimeError, 'Error: .*' + error) if error else nullcontext():
                export(path, **options)
            self.assertEqual(os.path.exists(path), not error, 'nothing written when refused')
        # Warnings, and the export goes on: a numbered name, the mean of uneven scales written, the converter's.
        key(make_rig([('Arm.001', (0, 0, 0), (0, 1, 0), None), ('"Leg', (0, 0, 0), (0, 1, 0), None)]), 'Arm.001', 1,
            scale=(1, 2, 6))
        write(self.path[:-4] + '.sequence.txt', 'Name "Old"\n')  # the defaults need none: it goes
        printed = export(self.path, template=TEMPLATE, sequence_name='SpecialIdle', all_bones=True)
        self.assertRegex(printed, r'Warning: 1 bone name\(s\) end in a numbered suffix, .* \(Arm\.001\)')
        self.assertRegex(printed, r'Warning: Scale is not uniform on 1 bone\(s\) \(Arm\.001\)')
        self.assertRegex(printed, r'Warning: Warnings from the converter: 1\nWARNING: .*\'"Leg\' begins with')
        self.assertEqual(read_keys(self.path)[2]['Arm.001'][0][-1], 3.0)
        self.assertFalse(os.path.exists(self.path[:-4] + '.sequence.txt'))

    def test_converter_on_path_a_failed_conversion_and_the_skeleton(self):
        make_rig()
        # No preference: the converter is found on PATH. This script as the template makes it fail.
        bpy.context.preferences.addons[ADDON].preferences.converter = ''
        self.addCleanup(os.environ.__setitem__, 'PATH', os.environ['PATH'])
        os.environ['PATH'] = os.path.dirname(os.environ['POSEWRIGHT']) + os.pathsep + os.environ['PATH']
        self.path = os.path.join(os.path.dirname(self.path), 'run.cycle.txt')
        with self.assertRaisesRegex(RuntimeError, r'Error: Conversion failed \(exit status 1\): .*ERROR.*'
                                                  r'\(the key file is kept at .*run\.cycle\.txt\)'):
            export(self.path, template=os.path.abspath(__file__))
        self.assertEqual([os.path.exists(self.path), os.path.exists(self.path[:-4] + '.kf')], [True, False])
        # The export's own skeleton, else the preference's (this script, which the converter refuses). The
        # template as the skeleton holds no node: neither the one bone the action moves nor the root is there.
        bpy.context.preferences.addons[ADDON].preferences.skeleton = __file__
        self.assertRegex(export(self.path, template=TEMPLATE, skeleton=TEMPLATE), r"Warning: Warnings from the "
                         r"converter: 2\nWARNING: Line \d+, bone 'Child' is not a node of the skeleton '.*Empty\.kf'")
        with self.assertRaisesRegex(RuntimeError, r'Conversion failed \(exit status 1\): .*ERROR: Variable'):
            export(self.path, template=TEMPLATE)

    def test_round_trip(self):
        # Export with markers, convert, import the .kf, export again: the same key text and sequence file,
        # without Tail, which no action moves, though posed by hand in between.
        arm = '\u00c9paule'  # a name beyond ASCII through both programs
        rig = make_rig(CHAIN + [(arm, (0, 2, 0), (1, 2, 1), 'Root'), ('Tail', (0, 0, 0), (0, 0, 1), None)], frame_end=6)
        for frame in (1, 6):
            key(rig, 'Root', frame, location=(0, frame / 7, 0), rotation_euler=(frame / 5, 0, 0))
            key(rig, arm, frame, rotation_euler=(0, math.sin(frame), 0), scale=[1 + frame / 40] * 3)
        rig.keyframe_insert('location', frame=3)
        for frame, name in ((2, 'hit'), (5, 'Sound: "swing"'), (9, 'late')):
            rig.animation_data.action.pose_markers.new(name).frame = frame
        axes, again = dict(axis_forward='Z', axis_up='-X'), os.path.join(tempfile.mkdtemp(), 'walk.cycle.txt')
        printed = export(self.path, template=TEMPLATE, sequence_name='Walk', **axes)
        self.assertRegex(printed, r'Warning: "Rig" itself moves .* not exported')
        self.assertRegex(printed, r'Warning: 1 pose marker\(s\) outside frames 1-6 are not exported: late')
        bpy.context.scene.frame_set(2, subframe=0.25)
        rig.pose.bones['Tail'].scale = (2, 2, 2)
        printed = load(self.path[:-4] + '.kf', **axes) + export(again, **axes)
        self.assertEqual((bpy.context.scene.frame_current, bpy.context.scene.frame_subframe), (2, 0.25))
        self.assertSameKeys(read_keys(self.path), read_keys(again), 1e-6)
        first, second = (open(path[:-4] + '.sequence.txt').read() for path in (self.path, again))
        # The root the converter found in the template comes back named: no bone carries it.
        self.assertEqual(first.replace('\nText key', '\nAccumulation root "NPC Root [Root]"\nText key', 1), second)
        self.assertIn("Sequence 'Walk'", printed)

    def test_key_text_and_its_sequence_file(self):
        # Keys between frames stay there, turns stay continuous; the sequence file comes back as it was read.
        rig, scene = make_rig(keyed=False), bpy.context.scene
        rig.pose.bones['Root'].rotation_mode = 'QUATERNION'
        keys = ('%g 0 %d 0 %g 0 0 %g 1' % (t / 48, t, math.cos(R(a / 2)), math.sin(R(a / 2)))
                for t, a in enumerate((90, 260, 280)))  # frames 1, 1.5 and 2 at 24 per s
        write(self.path[:-4] + '.sequence.txt', SEQUENCE)
        text = QUATERNIONS + '0.1\n' + record('Root', *keys) + record('Ghost', ZERO) + record('End of keys')
        printed = load(write(self.path, text), update_scene_fps=False)
        self.assertRegex(printed, r'Warning: 1 node\(s\) in the file are not bones of "Rig" and were left out: Ghost')
        action = rig.animation_data.action
        if addon('fcurves').SLOTTED:  # the new action holds one slot, the rig's, assigned with it
            self.assertEqual([slot.identifier for slot in action.slots], [rig.animation_data.action_slot.identifier])
        points = curve_points(action, rig)
        self.assertEqual([round(p.co[0], 5) for p in points[:3]], [1, 1.5, 2])
        self.assertEqual({p.interpolation for p in points}, {'LINEAR'})
        turns = [[p.co[1] for p in c.keyframe_points] for c in addon('fcurves').curves(action, rig)
                 if 'quaternion' in c.data_path]
        self.assertGreater(min(sum(w[k] * w[k + 1] for w in turns) for k in (0, 1)), 0)
        self.assertEqual([action.name, [(m.name, m.frame) for m in action.pose_markers], scene.frame_end],
                         ['Run', [('a "step"', 2)], 2])
        again = os.path.join(tempfile.mkdtemp(), os.path.basename(self.path))
        export(again, sequence_name='Walk')
        self.assertEqual(open(again[:-4] + '.sequence.txt').read(), SEQUENCE.replace('"Run"', '"Walk"'))
        # A pair of other keys and name whose sequence file cannot be written: the old pair stays, whole.
        pair = [again, again[:-4] + '.sequence.txt']
        before, scene.frame_end = [open(path).read() for path in pair], 3
        os.mkdir(pair[1] + '.part')
        with self.assertRaisesRegex(RuntimeError, r'Could not write .*\.sequence\.txt\.part'):
            export(again, sequence_name='Other')
        self.assertEqual([open(path).read() for path in pair] + [os.path.exists(again + '.part')], before + [False])
        # A folder where the sequence file goes: its rename fails after the key file's, which is put back.
        os.rmdir(pair[1] + '.part'), os.remove(pair[1]), os.makedirs(pair[1] + '/in')
        with self.assertRaisesRegex(RuntimeError, r'Could not write .*\.sequence\.txt: '):
            export(again, sequence_name='Other')
        self.assertEqual([open(again).read(), sorted(os.listdir(os.path.dirname(again)))],
                         [before[0], ['walk.cycle.sequence.txt', 'walk.cycle.txt']])

    def test_all_actions(self):
        # Three actions on the bones (names made to fit and numbered), one on the object alone, left out;
        # compressed, the smooth one of five frames as a curve; a .kf of two sequences (one written over another's
        # .kf) imports as an action each, the first assigned.
        rig, scene, folder = make_rig(keyed=False), bpy.context.scene, os.path.dirname(self.path)
        rows = (('Walk', (1, 4), 'Walk', (1, 4)), ('Run/Fast', (2, 3.5), 'Run_Fast', (2, 4)),
                ('Run?Fast', (5, 9), 'Run_Fast_2', (5, 9)))
        for name, frames, _, _ in rows + (('Still', (), '', ()),):
            rig.animation_data_create().action = bpy.data.actions.new(name)
            for frame in frames:
                key(rig, 'Child', frame, location=(0, frame, 0))
                if name == 'Run/Fast':  # its pose of Root must reach neither the next action nor the others' files
                    key(rig, 'Root', frame, rotation_euler=(frame, 0, 0))
        rig.keyframe_insert('location', frame=1)
        scene.frame_set(2, subframe=0.25)
        state = lambda: (rig.animation_data.action.name, scene.frame_start, scene.frame_end, scene.frame_current,
                         scene.frame_subframe)
        before = state()
        printed = export(self.path, template=TEMPLATE, all_actions=True, compress=True)
        self.assertEqual(state(), before)
        self.assertRegex(printed, r'Info: "Run\?Fast": Compressed: 1 bones as curves, 0 as poses, 0 as keys;')
        self.assertRegex(printed, r'Warning: "Run/Fast": keys fall between frames at the scene\'s 24 frames')
        self.assertRegex(printed, r'Wrote 3 of 3 actions to .*; 3 of 3 key files converted')
        self.assertEqual([list(read_keys('%s/%s.txt' % (folder, row[2]))[2]) for row in rows],
                         [['Child'], ['Root', 'Child'], ['Child']])
        for name, _, stem, (first, last) in rows:
            rig.animation_data.action, alone = bpy.data.actions[name], os.path.join(tempfile.mkdtemp(), 'a.txt')
            self.assertIn('Info: Compressed: ', export(alone, template=TEMPLATE, frame_start=first, frame_end=last,
                                                       compress=True))
            self.assertEqual(*(open(path, 'rb').read() for path in (alone[:-4] + '.kf', '%s/%s.kf' % (folder, stem))))
        self.assertIn(b'NiBSplineCompTransformInterpolator', open(folder + '/Run_Fast_2.kf', 'rb').read())
        rig = make_rig()
        export(self.path, template=folder + '/Walk.kf', sequence_name='Two')
        before = set(bpy.data.actions)
        load(self.path[:-4] + '.kf')
        self.assertEqual([sorted(a.name for a in bpy.data.actions if a not in before), rig.animation_data.action.name],
                         [['Two', 'Walk'], 'Walk'])

    def test_the_files_frame_rate(self):
        # From a 24-frame scene: curves sampled at 30 (or at the scene's rate), keys on every frame at 15.
        curves = os.path.join(tempfile.mkdtemp(), 'curves.kf')
        transcript('POSEWRIGHT_FIXTURES', 'curves', curves, '8', '2.4', 'Root', 'Child')
        transcript('POSEWRIGHT_KEYS', curves)
        keyed = [record(bone, *('%r 0 %d 0 1 0 0 0 1' % (k / 15, k) for k in range(4))) for bone in ('Root', 'Child')]
        at15 = programs_road(QUATERNIONS + '0.2\n' + ''.join(keyed) + record('End of keys'))
        for kf, update, fps, fractions in ((curves, True, 30, {0}), (curves, False, 24, {0, 0.6}),
                                           (at15, True, 15, {0})):
            rig = make_rig(keyed=False)
            printed = load(kf, update_scene_fps=update)
            frames = {round(p.co[0] % 1, 3) for p in curve_points(rig.animation_data.action, rig)}
            self.assertEqual([bpy.context.scene.render.fps, frames, 'Warning' in printed],
                             [fps, fractions, not update])
            if update:  # the export right after gives back posewright-keys' files
                export(self.path)
                self.assertSameKeys(read_keys(kf[:-3] + '_keys.txt'), read_keys(self.path), 1e-5)
                self.assertEqual(*(open(path[:-4] + '.sequence.txt').read().split('\n', 1)[1]
                                   for path in (kf[:-3] + '_keys.txt', self.path)))
        # posewright-keys' problem lines, the first three whole (Child, of 0 keys, comes back as one key of its
        # pose, no problem); keys a tenth of a second apart fit no common rate, and fall between the 15
        # frames a second the scene keeps.
        turns = record('Root', *('%g 0 0 0 %d 0 0 0 1' % (k / 10, (-1) ** k) for k in range(6))) + record('Child')
        self.assertRegex(load(programs_road(QUATERNIONS + '0.5\n' + turns + record('End of keys'))),
                         r"Warning: Problems posewright-keys found: 4, the first 3 .*\n(- Sequence 'SpecialIdle', "
                         r"bone 1 'Root', key \d: .* long way round\n){3}"
                         r"Warning: The keys fit none of the frame rates .* between the scene's frames at 15 ")

    def test_refused_with_the_scene_unchanged(self):
        head, end = QUATERNIONS + '1\n', record('End of keys')
        keyed = head + record('Root', ZERO) + end
        rows = [(head + end, None, 'No armature to import onto'),
                (head + record('Ghost', ZERO) + end, None, r'None of the 1 node\(s\) in the file'),
                (None, None, r'Reading walk.cycle.kf failed \(exit status 1\): .*ERROR')]
        # The converter's own refusal line, to the character: key texts, and the sequence file beside one.
        rows += [(text, None, None) for text in (
            head + record('Root', ZERO) + 'Bone "x";\n0\n', head, head + record('Root') + 'Bone name: "Arm";\n1537\n',
            'Nothing\n1\n' + end, head + ''.join(record('B%d' % i) for i in range(300)) + end,
            head + record('Root', ZERO.replace(' 1 ', ' 5,0 ', 1)) + end, head + 'Bone name: "Root";\ntwo\n' + end,
            QUATERNIONS + 'x\n' + end)]
        rows += [(keyed, beside, None) for beside in (
            'Speed 2\n', 'Frequency fast\n', 'Cycle loopy\n', 'Start 0,5\n', 'Name "Run\n', 'Name "a\\tb"\n',
            'Weight 1\n# again\nWeight 2\n', 'Priority "Ghost" 3\n', 'Priority "Root" 256\n',
            'Priority "Root" 1\nPriority "Root" 2\n', 'Priority "Root" x\n', 'Text keys none\nText key 1 "x"\n', 'Name "%s"\n' % ('n' * 256),
            '#' + ' ' * 1024)]
        for n, (text, beside, error) in enumerate(rows):
            (make_rig if n else lambda: bpy.ops.wm.read_homefile(use_empty=True))()
            scene, folder = bpy.context.scene, tempfile.mkdtemp()
            if beside:
                write(folder + '/walk.cycle.sequence.txt', beside)
            path = write(folder + ('/walk.cycle.txt' if text else '/walk.cycle.kf'), text or 'not a .kf')
            state = lambda: (len(bpy.data.actions), scene.frame_start, scene.frame_end, scene.frame_current)
            before = state()
            if error is None:  # the template copied in: the converter writes beside it, even when it refuses
                shutil.copyfile(TEMPLATE, folder + '/template.kf')
                converted = transcript('POSEWRIGHT', 'template.kf', path, folder=folder)
                error = re.escape(next(line for line in converted.splitlines() if 'ERROR' in line))
            with self.assertRaisesRegex(RuntimeError, 'Error: ' + error):
                load(path)
            self.assertEqual(before, state())

    def test_skeleton_import(self):
        # Bones at the chain's world positions (the tip moved by a scaled parent, named); an export of the rest
        # pose gives the nodes back, and a .kf of them leaves every bone at rest, with either bone axes.
        size, kf = math.dist(HEADS[2], (0, 0, 0)), programs_road(QUATERNIONS + '0.1\n' + ''.join(
            record(node[0], '0' + ' %r' * 8 % node[2:]) for node in NODES) + record('End of keys'))
        for scale, axes in ((1, {}), (1, dict(axis_forward='Z', axis_up='-X')), (2, {})):  # the middle node's scale
            bpy.ops.wm.read_homefile(use_empty=True)
            nif = os.path.join(tempfile.mkdtemp(), 'chain.nif')
            transcript('POSEWRIGHT_FIXTURES', 'nodes', nif, str(scale))
            printed = run(bpy.ops.import_scene.posewright_skeleton, nif, **axes)
            rig = bpy.context.active_object
            self.assertEqual([[(b.name, b.parent and b.parent.name) for b in rig.data.bones], rig.select_get()],
                             [[('Root', None), ('Mid', 'Root'), ('Tip', 'Mid')], True])
            heads = [c for b in rig.data.bones for c in rig.matrix_world @ b.head_local]
            self.assertLess(max(map(abs, map(float.__sub__, heads, sum(HEADS[:2], ()) + (5, 2 * scale, 10)))), 1e-5)
            self.assertRegex(printed, r'Imported "chain": 3 bones' if scale == 1 else r'scale other .*: Mid \(2\)')
            if scale == 1:
                key(rig, 'Root', 1, location=(0, 0, 0))
                export(self.path, frame_start=1, frame_end=1, all_bones=True, **axes)
                for node, (_, *written) in zip(NODES, (k[0] for k in read_keys(self.path)[2].values())):
                    self.assertLess(max(abs(a - b) / (size if i < 3 else 1) for i, (a, b) in
                                        enumerate(zip(written, node[2:]))), 1e-5, node)
                load(kf, **axes)
                bpy.context.scene.frame_set(bpy.context.scene.frame_start)
                self.assertLess(max(abs(a - b) for pose in rig.pose.bones for a, b in
                                    zip(sum(map(list, pose.matrix_basis), []), sum(map(list, Matrix()), []))), 1e-5)

if __name__ == '__main__':
    began = time.monotonic()
    result = unittest.TextTestRunner(verbosity=2).run(unittest.TestLoader().loadTestsFromTestCase(AddonTest))
    print('Blender %s, the add-on as %s, F-curves %s: %d tests in %.1f s' % (
        bpy.app.version_string, 'an extension' if EXTENSION else 'a legacy add-on',
        'in slots' if addon('fcurves').SLOTTED else 'flat', result.testsRun, time.monotonic() - began))
    sys.exit(0 if result.wasSuccessful() else 1)  # Blender's exit status
