"""Files read and written whole, a failure refused with the path: the key file and the sequence file
beside it, as the import reads them and as posewright-keys leaves them."""

import os

from .refusal import Refusal
from .sequence import sequence_path


def read(path):
    try:
        with open(path, 'rb') as stream:
            return stream.read()
    except OSError as error:
        raise Refusal('Could not read %s: %s' % (path, error)) from None


def read_pair(keys_path):
    """The bytes of a key file and of the sequence file beside it (None when there is none)."""
    beside = sequence_path(keys_path)
    return read(keys_path), read(beside) if os.path.isfile(beside) else None


def write(path, text):
    try:
        with open(path, 'w', encoding='utf-8', newline='\n') as stream:
            stream.write(text)
    except OSError as error:
        raise Refusal('Could not write %s: %s' % (path, error)) from None
