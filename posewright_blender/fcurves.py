"""An action's F-curves for one object, read and added, and an action assigned to an object: the one
module that knows which Blender it runs on. From 4.4 an action keeps its F-curves in a channel bag per
slot, each animated object naming its slot (5.0 dropped the flat Action.fcurves, groups and id_root);
before, an action holds one flat list of F-curves for whatever it is assigned to."""

import bpy
from bpy_extras import anim_utils

SLOTTED = hasattr(bpy.types, 'ActionSlot')  # 4.4 and later: the only way on 5.x, and the way taken on 4.5
_FOR_OBJECTS = ('OBJECT', 'UNSPECIFIED')  # a slot not yet assigned to anything may take an object


def _slot(action, obj):
    """The slot through which action animates obj: obj's own when action is assigned to it, else the
    action's first slot for objects; None when it has none."""
    data = obj.animation_data
    if data and data.action == action and data.action_slot:
        return data.action_slot
    return next((slot for slot in action.slots if slot.target_id_type in _FOR_OBJECTS), None)


def curves(action, obj):
    """The F-curves of action that animate obj."""
    if not SLOTTED:
        return list(action.fcurves)
    bag = anim_utils.action_get_channelbag_for_slot(action, _slot(action, obj))
    return list(bag.fcurves) if bag else []


def new_curve(action, obj, data_path, index, group):
    """A new F-curve of action for obj, in the named group. With slots, the first one gives the action a
    slot for obj, and the layer, strip and channel bag that hold its curves."""
    if not SLOTTED:
        return action.fcurves.new(data_path, index=index, action_group=group)
    slot = _slot(action, obj) or action.slots.new(id_type='OBJECT', name=obj.name)
    layer = action.layers[0] if action.layers else action.layers.new('Layer')
    strip = layer.strips[0] if layer.strips else layer.strips.new(type='KEYFRAME')
    bag = strip.channelbag(slot, ensure=True)
    curve = bag.fcurves.new(data_path, index=index)  # 4.5 takes no group here, 5.x group_name
    curve.group = bag.groups.get(group) or bag.groups.new(group)
    return curve


def assign(obj, action):
    """Makes action obj's (None: no action), through its slot for obj where Blender has slots."""
    data = obj.animation_data or obj.animation_data_create()
    data.action = action
    slot = _slot(action, obj) if SLOTTED and action else None
    # Only when it changes: 4.5 crashes on setting an armature's slot again before its pose is built.
    if slot and data.action_slot != slot:
        data.action_slot = slot
