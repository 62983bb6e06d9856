"""Exports an armature's animation as Posewright key and sequence files (converted to .kf on the way when
asked), imports them, or a .kf, back onto an armature as actions, and imports a skeleton as an armature."""

import os

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import actions, convert, exporting, fcurves, importing, keys, sequence, skeleton
from .preferences import PosewrightPreferences, find_converter, preference
from .refusal import Refusal

bl_info = {
    'name': 'Posewright animation keys',
    'author': 'Posewright',
    'version': (1, 1, 0),
    'blender': (3, 4, 0),
    'location': 'File > Export > Posewright animation keys (.txt), File > Import > Posewright animation, '
                'File > Import > Posewright skeleton (.nif)',
    'description': "Exports an armature's animation as Posewright keys and .kf, imports them back, and "
                   "imports a skeleton as an armature",
    'category': 'Import-Export',
}

_AXIS_ITEMS = [(name, name, 'Bone axis %s' % name) for name in keys.AXES]


class _Axes:
    axis_forward: EnumProperty(name='Bone Forward', items=_AXIS_ITEMS, default='Y',
                               description="Bone axis that becomes the node's X axis (X with up Z: none)")
    axis_up: EnumProperty(name='Bone Up', items=_AXIS_ITEMS, default='Z',
                          description="Bone axis that becomes the node's Z axis")

    def draw_axes(self, layout):
        axes = layout.column(align=True)
        axes.prop(self, 'axis_forward')
        axes.prop(self, 'axis_up')

    def execute(self, context):
        try:
            return self.run(context, keys.axis_correction(self.axis_forward, self.axis_up))
        except Refusal as error:
            self.report({'ERROR'}, str(error))
            return {'CANCELLED'}

    def warn(self, warnings, kind='WARNING'):
        for warning in warnings:
            self.report({kind}, warning)


class ExportPosewrightKeys(_Axes, bpy.types.Operator, ExportHelper):
    """Export the active armature's animation as a Posewright key file and sequence file"""
    bl_idname = 'export_anim.posewright_keys'
    bl_label = 'Export Posewright Keys'

    filename_ext = '.txt'
    filter_glob: StringProperty(default='*.txt', options={'HIDDEN'})
    rotation: EnumProperty(
        name='Rotations', default='QUATERNION',
        items=[('QUATERNION', 'Quaternions', 'Rotation as quaternion w x y z'),
               ('EULER', 'Euler XYZ', 'Rotation as angles about X, Y and Z, in radians')])
    # Skipped when saving the last-used values, so that a call that names no range takes the scene's.
    frame_start: IntProperty(name='Start', description="First frame; the scene's when not given",
                             options={'SKIP_SAVE'})
    frame_end: IntProperty(name='End', description="Last frame; the scene's when not given",
                           options={'SKIP_SAVE'})
    sequence_name: StringProperty(name='Sequence Name', options={'SKIP_SAVE'},
                                  description="The sequence's name; when empty, the imported sequence's, "
                                              "else the action's")
    template: StringProperty(name='Template .kf', subtype='FILE_PATH',
                             description='When given, the key file is converted to a .kf beside it')
    skeleton: StringProperty(name='Skeleton', subtype='FILE_PATH',
                             description="The skeleton .nif the conversion checks the bones against; "
                                         "when empty, the add-on preferences'")
    all_actions: BoolProperty(
        name='All Actions', default=False,
        description="Each action that animates a bone, over its own frame range, into the chosen folder as "
                    "files named after it (Frames and Sequence Name are not used), all converted in one run")
    all_bones: BoolProperty(
        name='All Bones', default=False,
        description="Every bone of the armature, those the action does not move at rest; off, only the bones "
                    "the action moves (its F-curves, or constraints, IK and drivers over its frames)")
    compress: BoolProperty(
        name='Compress', default=False,
        description="With a template, the converter writes each bone as a curve of packed control points "
                    "within 0.01 units, 0.001 radians and 0.001 scale of every key (its --compress)")

    def invoke(self, context, event):
        for name in ('frame_start', 'frame_end'):
            if not self.properties.is_property_set(name):
                setattr(self, name, getattr(context.scene, name))
        return ExportHelper.invoke(self, context, event)

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(self, 'rotation')
        layout.prop(self, 'all_actions')
        layout.prop(self, 'all_bones')
        frames = layout.column(align=True)
        frames.active = not self.all_actions
        frames.prop(self, 'frame_start', text='Frames Start')
        frames.prop(self, 'frame_end', text='End')
        self.draw_axes(layout)
        name = layout.row()
        name.active = not self.all_actions
        name.prop(self, 'sequence_name')
        layout.prop(self, 'template')
        layout.prop(self, 'skeleton')
        compress = layout.row()
        compress.active = bool(self.template)
        compress.prop(self, 'compress')

    def frames(self, scene):
        return [getattr(self, name) if self.properties.is_property_set(name) else getattr(scene, name)
                for name in ('frame_start', 'frame_end')]

    def converter(self, context):
        """(converter, template, skeleton or '', the converter's options), or None when no conversion is
        asked; refuses before anything is written."""
        if not self.template:
            return None
        # Absolute, as the converter runs in a folder of its own.
        paths = [os.path.abspath(bpy.path.abspath(path)) if path else ''
                 for path in (self.template, self.skeleton or preference(context, 'skeleton'))]
        for what, path in zip(('Template', 'Skeleton'), paths):
            if path and not os.path.isfile(path):
                raise Refusal('%s not found: %s' % (what, path))
        return find_converter(context), *paths, ['--compress'] if self.compress else []

    def write_keys(self, scene, obj, correction, path, first, last, name):
        """Writes the key file and sequence file of frames first-last; returns the bones' names, the
        warnings, and the line saying how many bones were left out."""
        text, names, warnings, left = exporting.keys_text(scene, obj, first, last, correction,
                                                          self.rotation == 'EULER', self.all_bones)
        fps = scene.render.fps / scene.render.fps_base
        found, more = exporting.settings(obj, name, first, last, fps, names)
        exporting.write_pair(path, text, found, (last - first) / fps)
        return names, warnings + more, ['%d bone(s) the action does not move were left out; All Bones writes '
                                        'them' % left] if left else []

    def run(self, context, correction):
        obj, scene = exporting.armature(context), context.scene
        first, last = self.frames(scene)
        conversion = self.converter(context)
        if self.all_actions:
            return self.run_all(scene, obj, correction, conversion)
        path = bpy.path.ensure_ext(bpy.path.abspath(self.filepath), '.txt')
        names, warnings, left = self.write_keys(scene, obj, correction, path, first, last, self.sequence_name)
        self.warn(warnings)
        self.warn(left, 'INFO')
        if not conversion:
            self.report({'INFO'}, 'Wrote %d bones, %d keys each, to %s'
                        % (len(names), last - first + 1, path))
            return {'FINISHED'}
        try:
            program, template, skeleton, options = conversion
            outcome, kf, converted, noted = convert.convert(program, template, path, skeleton, options)
        except Refusal as error:
            raise Refusal('%s (the key file is kept at %s)' % (error, path)) from None
        self.warn([convert.summary('Warnings from the converter', converted)] if converted else [])
        self.warn(noted, 'INFO')
        self.report({'INFO'}, '%s Wrote %s' % (outcome, kf))
        return {'FINISHED'}

    def run_all(self, scene, obj, correction, conversion):
        """Each action that animates a bone exported as its export alone would be, then all converted."""
        found = actions.bone_actions(obj)
        if not found:
            raise Refusal('No action animates a bone of "%s"' % obj.name)
        folder = os.path.dirname(bpy.path.abspath(self.filepath))
        fps = scene.render.fps / scene.render.fps_base
        written, refused = [], []
        with actions.kept_scene(scene, obj):
            for action, stem in zip(found, actions.file_names([action.name for action in found])):
                fcurves.assign(obj, action)
                path = os.path.join(folder, stem + '.txt')
                first, last, between = actions.frame_range(action, obj)
                try:
                    _, warnings, left = self.write_keys(scene, obj, correction, path, first, last, '')
                except Refusal as error:
                    refused.append('"%s" was not exported: %s' % (action.name, error))
                    continue
                if between:
                    warnings.append("keys fall between frames at the scene's %g frames a second: the export "
                                    'samples each whole frame' % fps)
                self.warn('"%s": %s' % (action.name, warning) for warning in warnings)
                self.warn(('"%s": %s' % (action.name, line) for line in left), 'INFO')
                written.append((action.name, path))
        outcome = ''
        if conversion and written:
            program, template, skeleton, options = conversion
            try:
                outcome, ahead, results = convert.convert_all(program, template,
                                                              [path for _, path in written], skeleton, options)
            except Refusal as error:
                raise Refusal('%s (the key files are kept in %s)' % (error, folder)) from None
            self.warn([convert.summary('Warnings from the converter on the template', ahead)] if ahead else [])
            for (name, _), (reason, converted, noted) in zip(written, results):
                refused += ['"%s" was NOT converted: %s' % (name, reason)] if reason else []
                self.warn([convert.summary('Warnings from the converter on "%s"' % name, converted)]
                          if converted else [])
                self.warn(('"%s": %s' % (name, line) for line in noted), 'INFO')
        self.warn(refused)
        if not written:
            raise Refusal('No action was exported')
        self.report({'INFO'}, 'Wrote %d of %d actions to %s%s' % (len(written), len(found), folder,
                                                                 '; ' + outcome if outcome else ''))
        return {'FINISHED'}


class ImportPosewrightKeys(_Axes, bpy.types.Operator, ImportHelper):
    """Import a .kf or a Posewright key file onto the selected armature, one action per sequence"""
    bl_idname = 'import_anim.posewright_keys'
    bl_label = 'Import Posewright Animation'
    bl_options = {'REGISTER', 'UNDO'}

    filter_glob: StringProperty(default='*.kf;*.txt', options={'HIDDEN'})
    update_scene_fps: BoolProperty(
        name='Update Scene Frame Rate', default=True,
        description="Set the scene's frame rate to the file's (the common rate its keys fall on); "
                    "off, a .kf's curves are sampled at the scene's")
    update_scene_duration: BoolProperty(
        name='Update Scene Duration', default=True,
        description="End the scene's frame range at the frame of the first sequence's last key")

    def draw(self, context):
        self.layout.use_property_split = True
        self.layout.prop(self, 'update_scene_fps')
        self.layout.prop(self, 'update_scene_duration')
        self.draw_axes(self.layout)

    def run(self, context, correction):
        actions, warnings = importing.import_file(context, bpy.path.abspath(self.filepath), correction,
                                                  self.update_scene_fps, self.update_scene_duration)
        self.warn(warnings)
        self.report({'INFO'}, 'Imported %s' % ', '.join('"%s"' % action.name for action in actions))
        return {'FINISHED'}


class ImportPosewrightSkeleton(_Axes, bpy.types.Operator, ImportHelper):
    """Import a skeleton .nif (or its node text) as a new armature, one bone per node"""
    bl_idname = 'import_scene.posewright_skeleton'
    bl_label = 'Import Posewright Skeleton'
    bl_options = {'REGISTER', 'UNDO'}

    filter_glob: StringProperty(default='*.nif;*_nodes.txt', options={'HIDDEN'})

    def draw(self, context):
        self.layout.use_property_split = True
        self.draw_axes(self.layout)

    def run(self, context, correction):
        obj, warnings = skeleton.import_skeleton(context, bpy.path.abspath(self.filepath), correction)
        self.warn(warnings)
        self.report({'INFO'}, 'Imported "%s": %d bones' % (obj.name, len(obj.data.bones)))
        return {'FINISHED'}


class PosewrightSequencePanel(bpy.types.Panel):
    """The sequence settings the active armature's action keeps for the export."""
    bl_idname = 'DATA_PT_posewright_sequence'
    bl_label = 'Posewright Sequence'
    bl_space_type = 'PROPERTIES'
    bl_region_type = 'WINDOW'
    bl_context = 'data'
    bl_options = {'DEFAULT_CLOSED'}

    @classmethod
    def poll(cls, context):
        data = context.object.animation_data if context.object and context.object.type == 'ARMATURE' else None
        return bool(data and data.action)

    def draw(self, context):
        action = context.object.animation_data.action
        layout = self.layout
        layout.label(text='Action "%s"; its pose markers are the text keys' % action.name)
        names = [name for name in action.keys() if name.startswith(sequence.PROPERTY) and name != keys.TURNS]
        if not names:
            layout.label(text='No imported settings: the export writes the defaults')
        for name in names:
            if name == sequence.PROPERTY + 'priorities':
                for node, priority in action[name].items():
                    layout.label(text='Priority of %s: %d' % (node, priority))
            else:
                label = name[len(sequence.PROPERTY):].replace('_', ' ').capitalize()
                layout.prop(action, '["%s"]' % name, text=label)


def menu_export(self, context):
    self.layout.operator(ExportPosewrightKeys.bl_idname, text='Posewright animation keys (.txt)')


def menu_import(self, context):
    self.layout.operator(ImportPosewrightKeys.bl_idname, text='Posewright animation (.kf, .txt)')
    self.layout.operator(ImportPosewrightSkeleton.bl_idname, text='Posewright skeleton (.nif)')


_CLASSES = (PosewrightPreferences, ExportPosewrightKeys, ImportPosewrightKeys, ImportPosewrightSkeleton,
            PosewrightSequencePanel)


def register():
    for cls in _CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    for cls in reversed(_CLASSES):
        bpy.utils.unregister_class(cls)
