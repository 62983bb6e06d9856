"""Exports an armature's animation as a Posewright key file, and can convert it to .kf on the way."""

import os

import bpy
from bpy.props import EnumProperty, IntProperty, StringProperty

from . import convert, keys
from .keys import ExportError

bl_info = {
    'name': 'Posewright animation keys',
    'author': 'Posewright',
    'version': (1, 0, 0),
    'blender': (3, 4, 0),
    'location': 'File > Export > Posewright animation keys (.txt)',
    'description': "Exports an armature's animation as Posewright keys, and converts them to .kf",
    'category': 'Import-Export',
}

_AXIS_ITEMS = [(name, name, 'Bone axis %s' % name) for name in keys.AXES]


class PosewrightPreferences(bpy.types.AddonPreferences):
    bl_idname = __name__

    converter: StringProperty(
        name='Converter', subtype='FILE_PATH',
        description='The posewright program; when empty, it is looked for beside the add-on, then on PATH')

    def draw(self, context):
        self.layout.prop(self, 'converter')
        try:
            found = 'Found: ' + convert.find_converter(bpy.path.abspath(self.converter))
        except ExportError as error:
            found = str(error)
        self.layout.label(text=found)


class ExportPosewrightKeys(bpy.types.Operator):
    """Export the active armature's animation as a Posewright key file"""
    bl_idname = 'export_anim.posewright_keys'
    bl_label = 'Export Posewright Keys'

    filepath: StringProperty(subtype='FILE_PATH')
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
    axis_forward: EnumProperty(name='Bone Forward', items=_AXIS_ITEMS, default='Y',
                               description="Bone axis that becomes the node's X axis (X with up Z: none)")
    axis_up: EnumProperty(name='Bone Up', items=_AXIS_ITEMS, default='Z',
                          description="Bone axis that becomes the node's Z axis")
    template: StringProperty(name='Template .kf', subtype='FILE_PATH',
                             description='When given, the key file is converted to a .kf beside it')

    def invoke(self, context, event):
        if not self.filepath:
            blend = bpy.data.filepath
            self.filepath = (os.path.splitext(blend)[0] if blend else 'untitled') + '.txt'
        for name in ('frame_start', 'frame_end'):
            if not self.properties.is_property_set(name):
                setattr(self, name, getattr(context.scene, name))
        context.window_manager.fileselect_add(self)
        return {'RUNNING_MODAL'}

    def check(self, context):
        """Keeps the name ending in .txt while it is typed in the file browser."""
        path = bpy.path.ensure_ext(self.filepath, '.txt')
        changed, self.filepath = path != self.filepath, path
        return changed

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(self, 'rotation')
        frames = layout.column(align=True)
        frames.prop(self, 'frame_start', text='Frames Start')
        frames.prop(self, 'frame_end', text='End')
        axes = layout.column(align=True)
        axes.prop(self, 'axis_forward')
        axes.prop(self, 'axis_up')
        layout.prop(self, 'template')

    def execute(self, context):
        try:
            return self.export(context)
        except ExportError as error:
            self.report({'ERROR'}, str(error))
            return {'CANCELLED'}

    def export(self, context):
        obj = context.active_object
        if obj is not None and obj.type != 'ARMATURE':
            obj = obj.find_armature()  # the rig of a character mesh that was clicked
        if obj is None:
            obj = next((o for o in context.selected_objects if o.type == 'ARMATURE'), None)
        if obj is None:
            raise ExportError('No armature to export: select one and make it active')
        if obj.mode == 'EDIT':
            obj.update_from_editmode()  # bones changed in edit mode reach the pose only through this
        scene = context.scene
        first, last = (getattr(self, name) if self.properties.is_property_set(name) else getattr(scene, name)
                       for name in ('frame_start', 'frame_end'))
        correction = keys.axis_correction(self.axis_forward, self.axis_up)
        warnings = keys.check(obj, first, last)
        template = bpy.path.abspath(self.template) if self.template else ''
        if template:  # before anything is written, like every other refusal
            if not os.path.isfile(template):
                raise ExportError('Template not found: %s' % template)
            addon = context.preferences.addons.get(__name__)
            converter = convert.find_converter(bpy.path.abspath(addon.preferences.converter) if addon else '')
        path = bpy.path.ensure_ext(bpy.path.abspath(self.filepath), '.txt')

        bones = keys.hierarchy_order(obj.data.bones)
        tracks = keys.sample(scene, obj, bones, range(first, last + 1), correction)
        fps = scene.render.fps / scene.render.fps_base
        times = [(frame - first) / fps for frame in range(first, last + 1)]
        text, uneven = keys.key_text([bone.name for bone in bones], tracks, times, (last - first) / fps,
                                     euler=self.rotation == 'EULER')
        if uneven:
            warnings.append('Scale is not uniform on %d bone(s) (%s): the mean of the three is written'
                            % (len(uneven), keys.listed(uneven)))
        try:
            with open(path, 'w', encoding='utf-8', newline='\n') as stream:
                stream.write(text)
        except OSError as error:
            raise ExportError('Could not write %s: %s' % (path, error)) from None
        for warning in warnings:
            self.report({'WARNING'}, warning)
        if not template:
            self.report({'INFO'}, 'Wrote %d bones, %d keys each, to %s' % (len(bones), len(times), path))
            return {'FINISHED'}

        try:
            outcome, kf = convert.convert(converter, template, path)
        except ExportError as error:
            raise ExportError('%s (the key file is kept at %s)' % (error, path)) from None
        self.report({'INFO'}, '%s Wrote %s' % (outcome, kf))
        return {'FINISHED'}


def menu_export(self, context):
    self.layout.operator(ExportPosewrightKeys.bl_idname, text='Posewright animation keys (.txt)')


_CLASSES = (PosewrightPreferences, ExportPosewrightKeys)


def register():
    for cls in _CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    for cls in reversed(_CLASSES):
        bpy.utils.unregister_class(cls)
