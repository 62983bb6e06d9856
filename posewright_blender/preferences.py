"""The add-on's preferences (the two programs' paths, the export's default skeleton) and the programs
found through them."""

import bpy
from bpy.props import StringProperty

from . import convert
from .refusal import Refusal


class PosewrightPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__  # the add-on's module: bl_ext.<repository>.posewright_blender as an extension

    converter: StringProperty(
        name='Converter', subtype='FILE_PATH',
        description='The posewright program; when empty, it is looked for beside the add-on, then on PATH')
    reader: StringProperty(
        name='Reader', subtype='FILE_PATH',
        description='The posewright-keys program; when empty, it is looked for beside the converter, '
                    'beside the add-on, then on PATH')
    skeleton: StringProperty(
        name='Skeleton', subtype='FILE_PATH',
        description="The skeleton .nif an export's conversion checks the bones against, unless the "
                    'export names one')

    def draw(self, context):
        for prop, finder in (('converter', find_converter), ('reader', find_reader)):
            self.layout.prop(self, prop)
            try:
                found = 'Found: ' + finder(context)
            except Refusal as error:
                found = str(error)
            self.layout.label(text=found)
        self.layout.prop(self, 'skeleton')


def preference(context, name):
    addon = context.preferences.addons.get(__package__)
    path = getattr(addon.preferences, name) if addon else ''
    return bpy.path.abspath(path) if path else ''


def find_converter(context):
    return convert.find_program(convert.CONVERTER, preference(context, 'converter'))


def find_reader(context):
    return convert.find_program(convert.READER, preference(context, 'reader'),
                                preference(context, 'converter'))
