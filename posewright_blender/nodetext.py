"""The node text posewright-keys --nodes writes for a skeleton: each node's name, its parent's name and
its own transform, read into a list; anything else in it is refused with its line."""

import math
import re

from .refusal import Refusal

FORMAT_LINE = b'Nodes: name, parent, translation x y z, rotation w x y z, scale'
_NAME = rb'"((?:[^"\\]|\\["\\])*)"'  # in double quotes, only \" and \\ escaped, as in the sequence file
_NODE = re.compile(_NAME + rb' ' + _NAME + rb'((?: [^ ]+){8})')
_ESCAPED = re.compile(rb'\\(.)')


def _name(text):
    return _ESCAPED.sub(rb'\1', text).decode('utf-8', 'replace')


def _numbers(text):
    try:
        values = [float(number) for number in text.split()]
    except ValueError:
        return None
    return values if all(map(math.isfinite, values)) else None


def read_node_text(data):
    """[(name, parent ('' for a root), (x, y, z), (w, x, y, z), scale)] of the text's bytes, in its order."""
    lines = data.split(b'\n')
    if lines[0].rstrip(b'\r') != FORMAT_LINE:
        raise Refusal('Line 1 of the node text is not "%s"' % FORMAT_LINE.decode())
    nodes = []
    for number, line in enumerate(lines[1:], 2):
        if not line and number == len(lines):
            break  # after the last line's end
        match = _NODE.fullmatch(line.rstrip(b'\r'))
        values = _numbers(match.group(3)) if match else None
        if values is None:
            raise Refusal('Line %d of the node text is not "NAME" "PARENT" and eight finite numbers: %s'
                          % (number, line.decode('utf-8', 'replace')[:80]))
        nodes.append((_name(match.group(1)), _name(match.group(2)), values[:3], values[3:7], values[7]))
    return nodes
