"""The key file's text: the shortest float32 numbers, the writer, and its mirror the reader, which
reads as the converter does and refuses what it refuses, with its lines."""

import re
import struct
from math import copysign, frexp

from mathutils import Euler, Quaternion

from .refusal import Refusal

MAX_RECORDS = 300  # the converter's table, the closing record included
MAX_BONES = MAX_RECORDS - 1
MAX_KEYS = 1536
MAX_NAME_BYTES = 240  # a line is read up to 255 bytes: 12 before the name, 2 after, and the LF
NAME_PREFIX, NAME_SUFFIX = 12, 3  # 'Bone name: "' and '";' with the LF
QUATERNION_LINE = 'Rotations as Quaternions: time, position x y z, rotation w x y z, scale'
EULER_LINE = 'Rotations as Euler angles: time, position x y z, angles about x y z, scale'
CLOSING_NAME = 'End of keys'
SCALE_TOLERANCE = 1e-4  # relative spread of the three scales that still counts as uniform


_F32 = struct.Struct('<f')
_pack, _unpack = _F32.pack, _F32.unpack


def _reads_back(text, v):
    return _unpack(_pack(float(text)))[0] == v


def _nearest(v, digits, upper):
    text = '%.*g' % (digits, v)
    if _reads_back(text, v):
        return text
    if upper is not None:
        # Below a power of two the gap is half the gap above, so the decimal nearest to v can fall
        # outside on the short side while one above it still reads back.
        text = '%.*g' % (digits, upper)
        if _reads_back(text, v):
            return text
    return None


def float32_text(x):
    """The shortest text that reads back as float32(x), fixed or exponent form, whichever is shorter."""
    v = _unpack(_pack(x))[0] + 0.0  # negative zero is written 0
    upper = None
    if abs(frexp(v)[0]) == 0.5 and abs(v) >= 2.0 ** -125:
        upper = v + v * 2.0 ** -25  # a power of two: the middle of the half gap above it
    # Whether some decimal of n digits reads back only grows with n; most values need 7 or 8.
    digits, text = 7, _nearest(v, 7, upper)
    if text:
        while digits > 1:
            shorter = _nearest(v, digits - 1, upper)
            if not shorter:
                break
            digits, text = digits - 1, shorter
    else:
        text = _nearest(v, 8, upper) or '%.9g' % v
    if 'e' in text:
        # %g writes 150000 as 1.5e+05: the integer is no longer, and then rounding v gives its digits.
        exponent = int(text[text.index('e') + 1:])
        if 0 <= exponent and exponent + 1 + (text[0] == '-') <= len(text):
            text = '%.0f' % v
    elif text.lstrip('-').startswith('0.000') and len(text.lstrip('-')) == 6:
        text = text[:-6] + text[-1] + 'e-04'  # 0.0005 is one character longer than 5e-04
    return text


class NumberText(dict):
    """float32_text with a memory: times, zeros and ones repeat across bones."""

    def __missing__(self, x):
        text = self[x] = float32_text(x)
        return text


def key_text(names, tracks, times, duration, euler=False, turns=None):
    """The key file's text, and the names of bones whose scale was not uniform; a bone's first
    quaternion is taken in the hemisphere of its rotation in turns, else of no turn."""
    number = NumberText()
    lines, uneven = [EULER_LINE if euler else QUATERNION_LINE, number[duration]], {}
    for name, track in zip(names, tracks):
        lines += ['Bone name: "%s";' % name, str(len(track))]
        previous = Euler() if euler else Quaternion((turns or {}).get(name, (1, 0, 0, 0)))
        for time, (location, rotation, scale) in zip(times, track):
            if euler:  # angles go on from the previous key instead of wrapping at +-180 degrees
                rotation = previous = rotation.to_euler('XYZ', previous)
            else:
                if previous.dot(rotation) < 0:
                    rotation.negate()  # else the converter would turn the long way round between the two
                previous = rotation
            size = sum(scale) / 3
            if max(abs(s - size) for s in scale) > SCALE_TOLERANCE * max(1.0, abs(size)):
                uneven[name] = True
            lines.append(' '.join([number[v] for v in (time, *location, *rotation, size)]))
    lines += ['Bone name: "%s";' % CLOSING_NAME, '0', '']
    return '\n'.join(lines), list(uneven)


# ---- reading: the writer's mirror ----------------------------------------------------------------

LOAD_ERROR = '[Load_from_File___Animation_Keys] ERROR: '
NO_RECORD = 'ERROR: Cannot load Animation keys without errors!'
UNKNOWN_FORMAT = "ERROR: Animation data format don't recognized !"
_WHITE = b' \t\n\v\f\r'
# What the C library's strtof reads: decimal, hexadecimal, infinity and not-a-number.
_NUMBER = re.compile(rb'[+-]?(?:0[xX](?:[0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+)(?:[pP][+-]?\d+)?'
                     rb'|(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?|[iI][nN][fF](?:[iI][nN][iI][tT][yY])?'
                     rb'|[nN][aA][nN](?:\([0-9A-Za-z_]*\))?)')
_INTEGER = re.compile(rb'[+-]?\d+')
_SPACE = re.compile(rb'[ \t\n\v\f\r]*')
# The slots a key line fills: time, position, rotation w x y z (Euler: the angles in x y z), scale.
_QUATERNION_SLOTS, _EULER_SLOTS = (0, 1, 2, 3, 4, 5, 6, 7, 8), (0, 1, 2, 3, 5, 6, 7, 8)


def float32(v):
    try:
        return _unpack(_pack(v))[0]
    except OverflowError:
        return copysign(float('inf'), v)


def _parse_number(text):
    text = text.decode('ascii')
    if text.lstrip('+-')[:2] in ('0x', '0X'):
        return float32(float.fromhex(text))
    return float32(float(text.split('(')[0]))


def _parse_numbers(texts):
    try:  # the common case in one step: plain decimals, all within range
        return struct.unpack('<%df' % len(texts), struct.pack('<%df' % len(texts), *map(float, texts)))
    except (ValueError, OverflowError):
        return [_parse_number(text) for text in texts]


def _key_pattern(slots):
    """A whole key as fscanf reads it, with the white space after it."""
    return re.compile(b''.join(_SPACE.pattern + b'(' + _NUMBER.pattern + b')' for _ in slots) + _SPACE.pattern)


class _Scanner:
    """The converter's scanner: lines as fgets reads them, numbers and white space as fscanf does."""

    def __init__(self, data):
        self.data, self.pos, self.eof = data.replace(b'\r\n', b'\n'), 0, False

    def line_at(self, pos):
        return 1 + self.data.count(b'\n', 0, pos)

    def read_line(self, size=255):
        end = self.data.find(b'\n', self.pos, self.pos + size)
        end = min(self.pos + size, len(self.data)) if end < 0 else end + 1
        line, self.pos = self.data[self.pos:end], end
        self.eof = self.eof or (end == len(self.data) and not line.endswith(b'\n'))
        return line

    def skip_space(self):
        self.pos = _SPACE.match(self.data, self.pos).end()
        self.eof = self.eof or self.pos == len(self.data)

    def scan(self, pattern):
        """The matched texts (the whole match when the pattern has no groups), or None (after the
        white space) when the pattern does not start here."""
        self.skip_space()
        match = pattern.match(self.data, self.pos)
        if not match:
            return None
        self.pos = match.end()
        self.eof = self.eof or self.pos == len(self.data)
        return match.groups() or match.group()

    def word(self):
        start = max(self.data.rfind(c, 0, self.pos) for c in _WHITE) + 1
        end = min([i for i in (self.data.find(c, self.pos) for c in _WHITE) if i >= 0] or [len(self.data)])
        return self.data[start:end].decode('utf-8', 'replace')


def _record(scanner, r, slots, key_pattern):
    """Name and keys (nine-slot lists) of record r, counted from 0. A number that does not read
    refuses the file unless the file ends there: then this is its last record, never converted."""
    where = lambda pos: '%sLine %d, bone record %d' % (LOAD_ERROR, scanner.line_at(pos), r + 1)
    line_start = scanner.pos
    line = scanner.read_line()
    if len(line) < NAME_PREFIX + NAME_SUFFIX:
        raise Refusal('%s: the name line holds %d characters, fewer than the %d it needs!'
                      % (where(line_start), len(line), NAME_PREFIX + NAME_SUFFIX))
    name = line[NAME_PREFIX:len(line) - NAME_SUFFIX].decode('utf-8', 'replace')
    count_start = scanner.pos
    count = scanner.scan(_INTEGER)
    if count is None and not scanner.eof:
        raise Refusal("%s '%s', key count: '%s' is not a number!" % (where(scanner.pos), name, scanner.word()))
    if count is not None:
        scanner.skip_space()
    count = int(count or 0)
    if not 0 <= count <= MAX_KEYS:
        raise Refusal("%s: Variable 'NumKeys=%d' is out of limits (0 to %d)!"
                      % (where(count_start), count, MAX_KEYS))
    keys = []
    for k in range(count):
        texts = list(scanner.scan(key_pattern) or ())
        while len(texts) < len(slots):  # the number that does not read, found one by one
            texts.append(scanner.scan(_NUMBER))
            if texts[-1] is None:
                if scanner.eof:
                    return name, keys
                raise Refusal("%s '%s', key %d: '%s' is not a number!"
                              % (where(scanner.pos), name, k + 1, scanner.word()))
        scanner.skip_space()
        key = [0.0] * 9
        for slot, value in zip(slots, _parse_numbers(texts)):
            key[slot] = value
        keys.append(key)
    return name, keys


def read_key_text(data):
    """(euler, duration, [(name, keys)]) of key-file bytes, the closing record left out; refuses as
    the converter does, with its line."""
    scanner = _Scanner(data)
    first = scanner.read_line()
    euler, quaternions = b'Euler' in first, b'Quaternions' in first
    slots = (_QUATERNION_SLOTS if quaternions else ()) + (_EULER_SLOTS if euler else ())
    duration = scanner.scan(_NUMBER)
    if duration is not None:
        scanner.skip_space()
    if scanner.eof:
        raise Refusal(NO_RECORD)
    if not slots:
        raise Refusal(UNKNOWN_FORMAT)
    if duration is None:
        raise Refusal("%sLine %d, duration: '%s' is not a number!"
                      % (LOAD_ERROR, scanner.line_at(scanner.pos), scanner.word()))
    records, key_pattern = [], _key_pattern(slots)
    while not scanner.eof:
        if len(records) == MAX_RECORDS:
            raise Refusal('%sLine %d, bone record %d: the file holds more than the %d records that fit!'
                          % (LOAD_ERROR, scanner.line_at(scanner.pos), MAX_RECORDS + 1, MAX_RECORDS))
        records.append(_record(scanner, len(records), slots, key_pattern))
    return not quaternions, _parse_number(duration) if duration else 0.0, records[:-1]
