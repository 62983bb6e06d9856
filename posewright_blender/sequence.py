"""The sequence file beside a key file: its name, reader and writer over one table of its settings."""

import re

from .keytext import MAX_KEYS, Refusal, float32, float32_text

LOAD_ERROR = '[Load_from_File___Sequence_Settings] ERROR: '
MAX_TEXT_BYTES = 255
CYCLES = ('loop', 'reverse', 'clamp')
DEFAULT_NAME = 'SpecialIdle'
_NUMBER = re.compile(rb'[+-]?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][+-]?\d+)?')
_INTEGER = re.compile(rb'[+-]?\d+')
_SPACE = re.compile(rb'[ \t]+')


def sequence_path(keys_path):
    """walk.txt -> walk.sequence.txt; a leading dot of the file name is not an extension."""
    folder = max(keys_path.rfind('/'), keys_path.rfind('\\')) + 1
    dot = keys_path.rfind('.', folder + 1)
    return (keys_path[:dot] if dot > folder else keys_path) + '.sequence.txt'


# ---- values: each a reader of bytes at a position (value, end) and a writer --------------------------

def _read_text(line, at):
    if line[at:at + 1] != b'"':
        raise ValueError('a quoted text is needed')
    out, at = bytearray(), at + 1
    while True:
        if at >= len(line):
            raise ValueError('the text is left open')
        c = line[at]
        if c == 0x22:
            break
        if c == 0x5C:
            at += 1
            if line[at:at + 1] not in (b'"', b'\\'):
                raise ValueError('a backslash before %r in a text' % line[at:at + 1].decode('latin-1'))
            c = line[at]
        if c == 0:
            raise ValueError('a zero byte in a text')
        out.append(c)
        at += 1
    if len(out) > MAX_TEXT_BYTES:
        raise ValueError('a text of %d bytes, more than the %d that fit' % (len(out), MAX_TEXT_BYTES))
    return out.decode('utf-8', 'replace'), at + 1


def _write_text(text):
    return '"%s"' % text.replace('\\', '\\\\').replace('"', '\\"')


def _matcher(pattern, convert, what):
    def read(line, at):
        match = pattern.match(line, at)
        if not match or (match.end() < len(line) and line[match.end()] not in b' \t'):
            raise ValueError('%s is needed' % what)
        return convert(match.group()), match.end()
    return read


def _finite(text):
    value = float32(float(text))
    if value in (float('inf'), float('-inf')):
        raise ValueError('%s is not finite as a float' % text.decode())
    return value


def _cycle(text):
    if text in (b'loop', b'reverse', b'clamp'):
        return CYCLES.index(text.decode())
    value = int(text)
    if value > 0xFFFFFFFF:
        raise ValueError('the cycle %d is out of 0 to 4294967295' % value)
    return value


def _cycle_text(value):
    return CYCLES[value] if value < len(CYCLES) else str(value)


def _either(first, second):
    def read(line, at):
        try:
            return first(line, at)
        except ValueError:
            return second(line, at)
    return read


_read_number = _matcher(_NUMBER, _finite, 'a number')
_read_integer = _matcher(_INTEGER, int, 'an integer')
_read_cycle = _matcher(re.compile(rb'loop|reverse|clamp|\d+'), _cycle, 'loop, reverse, clamp or a number')
_NONE = _matcher(re.compile(rb'none'), lambda _: None, 'none')

# keyword, its values' readers, the key it sets, whether it may repeat, and the writer of its values.
SETTINGS = (
    ('Name', (_read_text,), 'name', False, lambda v: [_write_text(v)]),
    ('Cycle', (_read_cycle,), 'cycle', False, lambda v: [_cycle_text(v)]),
    ('Frequency', (_read_number,), 'frequency', False, lambda v: [float32_text(v)]),
    ('Weight', (_read_number,), 'weight', False, lambda v: [float32_text(v)]),
    ('Start', (_read_number,), 'start', False, lambda v: [float32_text(v)]),
    ('Stop', (_read_number,), 'stop', False, lambda v: [float32_text(v)]),
    ('Accumulation root', (_either(_NONE, _read_text),), 'root', False,
     lambda v: ['none' if v is None else _write_text(v)]),
    ('Text keys', (_NONE,), 'text_keys', False, None),
    ('Text key', (_read_number, _read_text), 'text_keys', True,
     lambda v: [float32_text(v[0]), _write_text(v[1])]),
    ('Priority', (_read_text, _read_integer), 'priorities', True,
     lambda v: [_write_text(v[0]), str(v[1])]),
)
_BY_LENGTH = sorted(SETTINGS, key=lambda s: -len(s[0]))


def defaults(duration):
    """What the converter writes for a key file of this duration when no sequence file stands beside it."""
    return {'name': DEFAULT_NAME, 'cycle': 0, 'frequency': 1.0, 'weight': 1.0, 'start': 0.0,
            'stop': duration, 'text_keys': [(0.0, 'start'), (duration, 'end')], 'priorities': []}


def _setting(line):
    """The setting and its values, or ValueError."""
    at = len(line) - len(line.lstrip(b' \t'))
    for setting in _BY_LENGTH:
        keyword = setting[0].encode()
        end = at + len(keyword)
        if line.startswith(keyword, at) and line[end:end + 1] in (b'', b' ', b'\t'):
            break
    else:
        raise ValueError("'%s' is not a setting" % line.strip().decode('utf-8', 'replace'))
    at += len(keyword)
    values = []
    for read in setting[1]:
        space = _SPACE.match(line, at)
        if not space:
            raise ValueError("'%s' needs its values" % setting[0])
        value, at = read(line, space.end())
        values.append(value)
    if line[at:].strip(b' \t'):
        raise ValueError("'%s' is followed by '%s'"
                         % (setting[0], line[at:].strip().decode('utf-8', 'replace')))
    return setting, values[0] if len(values) == 1 else tuple(values)


def _store(settings, given, setting, value, nodes):
    keyword, _, key, repeats, _ = setting
    if not repeats and keyword in given:
        raise ValueError("'%s' is given twice" % keyword)
    if {'Text key': 'Text keys', 'Text keys': 'Text key'}.get(keyword) in given:
        raise ValueError("'Text keys none' and 'Text key' lines together")
    given.add(keyword)
    if keyword == 'Priority':
        if value[0] not in nodes:
            raise ValueError('a priority for "%s", a node the key file does not hold' % value[0])
        if not 0 <= value[1] <= 255:
            raise ValueError('the priority %d of "%s" is out of 0 to 255' % (value[1], value[0]))
        if any(node == value[0] for node, _ in settings['priorities']):
            raise ValueError('"%s" is given two priorities' % value[0])
    if repeats:
        settings[key].append(value)
        if key == 'text_keys' and len(settings[key]) > MAX_KEYS:
            raise ValueError('more text keys than the %d the table holds' % MAX_KEYS)
    else:
        settings[key] = [] if keyword == 'Text keys' else value


def read_sequence(data, duration, nodes):
    """The settings of sequence-file bytes for a key file of this duration and these node names."""
    settings, given = defaults(duration), set()
    settings['text_keys'] = []
    if data.startswith(b'\xef\xbb\xbf'):
        data = data[3:]
    for number, line in enumerate(data.split(b'\n'), 1):
        line = line[:-1] if line.endswith(b'\r') else line
        if not line.strip(b' \t') or line.lstrip(b' \t').startswith(b'#'):
            continue
        try:
            _store(settings, given, *_setting(line), nodes)
        except ValueError as error:
            raise Refusal('%sLine %d: %s!' % (LOAD_ERROR, number, error)) from None
    if not given & {'Text key', 'Text keys'}:
        settings['text_keys'] = defaults(duration)['text_keys']
    return settings


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
    try:
        settings['cycle'] = _read_cycle(str(settings['cycle']).encode(), 0)[0]
    except ValueError as error:
        raise Refusal('The action "%s" holds the cycle "%s": %s'
                      % (action.name, settings['cycle'], error)) from None
    if PROPERTY + 'root' in action:
        settings['root'] = None if action.get(PROPERTY + 'root_none') else action[PROPERTY + 'root']
    settings['priorities'] = list(action.get(PROPERTY + 'priorities', {}).items())
    return settings
