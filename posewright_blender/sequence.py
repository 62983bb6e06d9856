"""The sequence file beside a key file: its name, reader and writer over one table of its settings.
The reader refuses what the converter refuses, with its words, checking in its order."""

import re
from decimal import Decimal

from .keytext import MAX_KEYS, float32, float32_text
from .refusal import Refusal

LOAD_ERROR = '[Load_from_File___Sequence_Settings] ERROR: '
MAX_TEXT_BYTES = 255
MAX_PRIORITIES = 256  # the converter's table of controlled blocks
LINE_SIZE = 1024  # the converter's line buffer
CYCLES = ('loop', 'reverse', 'clamp')
DEFAULT_NAME = 'SpecialIdle'
_FLOAT32_MAX = float32(2.0 ** 128 - 2.0 ** 104)
_INFINITE = 2.0 ** 128 - 2.0 ** 103  # from here on a decimal rounds to an infinite float
_NUMBER = re.compile(rb'[+-]?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][+-]?\d+)?')
_INTEGER = re.compile(rb'[+-]?\d+')
_BLANKS = re.compile(rb'[ \t]*')
_WORD = re.compile(rb'[^ \t]*')
_TOGETHER = "'Text key' and 'Text keys none' are given together"


def sequence_path(keys_path):
    """walk.txt -> walk.sequence.txt; a leading dot of the file name is not an extension."""
    folder = max(keys_path.rfind('/'), keys_path.rfind('\\')) + 1
    dot = keys_path.rfind('.', folder + 1)
    return (keys_path[:dot] if dot > folder else keys_path) + '.sequence.txt'


# ---- values: each a reader of a line's bytes at a position (value, end), and a writer -----------------

def _blank(line, at):
    return line[at:at + 1] in (b' ', b'\t')


def _skip(line, at):
    return _BLANKS.match(line, at).end()


def _word(line, at):
    """The bytes up to the next space, tab or line end, as the messages quote them."""
    return _WORD.match(line, at).group().decode('utf-8', 'replace')


def _read_text(line, at):
    if line[at:at + 1] != b'"':
        raise ValueError('a text in double quotes is expected')
    out, at = bytearray(), at + 1
    while at < len(line) and line[at] != 0x22:
        c, at = line[at], at + 1
        if c == 0:
            raise ValueError('the text holds a zero byte')
        if c == 0x5C and at < len(line):  # a backslash at the line end stays, and the text is left open
            c, at = line[at], at + 1
            if c not in b'"\\':
                raise ValueError('a backslash in a text goes only before " or \\')
        if len(out) == MAX_TEXT_BYTES:
            raise ValueError('the text is longer than the %d bytes a text holds' % MAX_TEXT_BYTES)
        out.append(c)
    if at == len(line):
        raise ValueError('the text is left open (no closing double quote)')
    return out.decode('utf-8', 'replace'), at + 1


def _write_text(text):
    return '"%s"' % text.replace('\\', '\\\\').replace('"', '\\"')


def _read_number(line, at):
    match = _NUMBER.match(line, at)
    if not match:
        raise ValueError('a number is expected')
    text, value = match.group(), float(match.group())
    # A double on the midpoint may have been rounded onto it: then the decimal itself decides.
    if abs(value) > _INFINITE or abs(value) == _INFINITE and Decimal(text.decode()).copy_abs() >= _INFINITE:
        raise ValueError('the number %s is not finite as a float' % text.decode())
    return max(-_FLOAT32_MAX, min(float32(value), _FLOAT32_MAX)), match.end()


def _read_integer(line, at, largest, what):
    match = _INTEGER.match(line, at)
    if not match:
        raise ValueError('%s is expected as a whole number' % what)
    if not 0 <= int(match.group()) <= largest:
        raise ValueError('%s %s is outside 0 to %d' % (what, match.group().decode(), largest))
    return int(match.group()), match.end()


def _read_cycle(line, at):
    if line[at:at + 1] in (b'+', b'-') or line[at:at + 1].isdigit():
        return _read_integer(line, at, 0xFFFFFFFF, 'the cycle type')
    word = _word(line, at)
    if word not in CYCLES:
        raise ValueError("the cycle is loop, reverse, clamp or a whole number, not '%s'" % word)
    return CYCLES.index(word), at + len(word)


def _cycle_text(value):
    return CYCLES[value] if value < len(CYCLES) else str(value)


def _read_root(line, at):
    if line[at:at + 1] == b'"':
        return _read_text(line, at)
    if _word(line, at) != 'none':
        raise ValueError('the accumulation root is a text in double quotes or none')
    return None, at + 4


# ---- the settings that depend on the lines before and on the key file ----------------------------------

class _Reading:
    def __init__(self, duration, nodes):
        self.settings, self.nodes = defaults(duration), nodes
        self.settings['text_keys'] = []
        self.given = {}  # keyword: the line it was first given on
        self.priority_lines = {}  # node: the line of its priority
        self.line = 0


def _read_text_key(reading, line, at):
    if 'Text keys' in reading.given:
        raise ValueError(_TOGETHER)
    if len(reading.settings['text_keys']) == MAX_KEYS:
        raise ValueError('more text keys than the %d the table holds' % MAX_KEYS)
    time, at = _read_number(line, at)
    if not _blank(line, at):
        raise ValueError('a text in double quotes is expected after the time')
    text, at = _read_text(line, _skip(line, at))
    return (time, text), at


def _read_text_keys_none(reading, line, at):
    if _word(line, at) != 'none':
        raise ValueError("'Text keys' is followed by none alone")
    if reading.settings['text_keys']:
        raise ValueError(_TOGETHER)
    return [], at + 4


def _read_priority(reading, line, at):
    if len(reading.settings['priorities']) == MAX_PRIORITIES:
        raise ValueError('more priorities than the %d the table holds' % MAX_PRIORITIES)
    node, at = _read_text(line, at)
    if node not in reading.nodes:
        raise ValueError("a priority for '%s', a node the key file does not hold" % node)
    if node in reading.priority_lines:
        raise ValueError("'%s' is given a priority on line %d too" % (node, reading.priority_lines[node]))
    if not _blank(line, at):
        raise ValueError('a priority is expected after the node name')
    priority, at = _read_integer(line, _skip(line, at), 255, 'the priority')
    reading.priority_lines[node] = reading.line
    return (node, priority), at


def _alone(read):
    """A reader of a value that no other line bears on."""
    return lambda reading, line, at: read(line, at)


# keyword, the reader of its values, the key it sets, whether it may repeat, and the writer of its values.
SETTINGS = (
    ('Name', _alone(_read_text), 'name', False, lambda v: [_write_text(v)]),
    ('Cycle', _alone(_read_cycle), 'cycle', False, lambda v: [_cycle_text(v)]),
    ('Frequency', _alone(_read_number), 'frequency', False, lambda v: [float32_text(v)]),
    ('Weight', _alone(_read_number), 'weight', False, lambda v: [float32_text(v)]),
    ('Start', _alone(_read_number), 'start', False, lambda v: [float32_text(v)]),
    ('Stop', _alone(_read_number), 'stop', False, lambda v: [float32_text(v)]),
    ('Accumulation root', _alone(_read_root), 'root', False,
     lambda v: ['none' if v is None else _write_text(v)]),
    ('Text keys', _read_text_keys_none, 'text_keys', False, None),
    ('Text key', _read_text_key, 'text_keys', True, lambda v: [float32_text(v[0]), _write_text(v[1])]),
    ('Priority', _read_priority, 'priorities', True, lambda v: [_write_text(v[0]), str(v[1])]),
)


def defaults(duration):
    """What the converter writes for a key file of this duration when no sequence file stands beside it."""
    return {'name': DEFAULT_NAME, 'cycle': 0, 'frequency': 1.0, 'weight': 1.0, 'start': 0.0,
            'stop': duration, 'text_keys': [(0.0, 'start'), (duration, 'end')], 'priorities': []}


def _find(line, at):
    for setting in SETTINGS:
        end = at + len(setting[0])
        if line.startswith(setting[0].encode(), at) and line[end:end + 1] in (b'', b' ', b'\t'):
            return setting, end
    raise ValueError("unknown setting '%s'" % _word(line, at))


def _read_line(reading, line):
    """Takes one line's setting into reading.settings, or ValueError."""
    at = _skip(line, 0)
    if at == len(line) or line[at:at + 1] == b'#':
        return
    (keyword, read, key, repeats, _), at = _find(line, at)
    if not repeats and keyword in reading.given:
        raise ValueError("'%s' is given on line %d too" % (keyword, reading.given[keyword]))
    at = _skip(line, at)
    if at == len(line):
        raise ValueError("'%s' is given no value" % keyword)
    value, at = read(reading, line, at)
    at = _skip(line, at)
    if at != len(line):
        raise ValueError("'%s' follows the value" % _word(line, at))
    reading.given.setdefault(keyword, reading.line)
    if repeats:
        reading.settings[key].append(value)
    else:
        reading.settings[key] = value


def read_sequence(data, duration, nodes):
    """The settings of sequence-file bytes for a key file of this duration and these node names."""
    reading = _Reading(duration, nodes)
    lines = data.split(b'\n')
    for reading.line, line in enumerate(lines, 1):
        ended = reading.line < len(lines)  # by a LF: a CR right before it is not the line's
        if not ended and not line:
            break
        try:
            if len(line) > LINE_SIZE:
                raise ValueError('the line is longer than the %d bytes read here' % LINE_SIZE)
            line = line[:-1] if ended and line.endswith(b'\r') else line
            _read_line(reading, line[3:] if reading.line == 1 and line.startswith(b'\xef\xbb\xbf') else line)
        except ValueError as error:  # the converter prints its message up to a zero byte
            raise Refusal('%sLine %d: %s!' % (LOAD_ERROR, reading.line, str(error).split('\0')[0])) from None
    if not reading.given.keys() & {'Text key', 'Text keys'}:
        reading.settings['text_keys'] = defaults(duration)['text_keys']
    return reading.settings


def sequence_text(settings, keys_name):
    """The sequence file, every line in the table's order; no root line when the root is today's rule."""
    lines = ['# Sequence settings for %s' % keys_name]
    for keyword, _, key, repeats, write in SETTINGS:
        if key not in settings:
            continue
        if repeats:
            lines += [' '.join([keyword] + write(value)) for value in settings[key]]
        elif key == 'text_keys':
            lines += [] if settings[key] else ['Text keys none']
        else:
            lines.append(' '.join([keyword] + write(settings[key])))
    return '\n'.join(lines + [''])


# ---- the settings kept on an action as its custom properties, text keys aside (its pose markers) ----

PROPERTY = 'posewright_'
_KEPT = ('name', 'cycle', 'frequency', 'weight', 'start', 'stop')


def keep(action, settings):
    for key in _KEPT:
        action[PROPERTY + key] = settings[key] if key != 'cycle' else _cycle_text(settings[key])
    if 'root' in settings:
        action[PROPERTY + 'root'] = settings['root'] or ''
        action[PROPERTY + 'root_none'] = settings['root'] is None
    action[PROPERTY + 'priorities'] = dict(settings['priorities'])


def kept(action):
    """The settings an import kept on the action (text keys aside), or None when it holds none."""
    if PROPERTY + 'name' not in action:
        return None
    settings = {key: action[PROPERTY + key] for key in _KEPT}
    text = str(settings['cycle']).encode()
    try:
        settings['cycle'], end = _read_cycle(text, 0)
        if end != len(text):
            raise ValueError("'%s' follows the value" % text[end:].decode('utf-8', 'replace'))
    except ValueError as error:
        raise Refusal('The action "%s" holds the cycle "%s": %s'
                      % (action.name, settings['cycle'], error)) from None
    if PROPERTY + 'root' in action:
        settings['root'] = None if action.get(PROPERTY + 'root_none') else action[PROPERTY + 'root']
    settings['priorities'] = list(action.get(PROPERTY + 'priorities', {}).items())
    return settings
