"""Files read and written whole, a failure refused with the path: the key file and the sequence file
beside it, as the import reads them, as posewright-keys leaves them, and as the export writes them."""

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


PART, OLD = '.part', '.old.part'  # a file being written until it is whole; an old one until the new is in place


def _remove(path):
    try:
        os.remove(path)
    except OSError:
        pass  # a file that was never made


def write_pair(keys_path, text, settings):
    """The key file and the sequence file beside it (settings None: none, and an old one goes), replaced
    whole or not at all. Each is written under a temporary name; then each old file is moved aside and
    the new one renamed in its place. When a step fails, the new files go and the old ones are put back
    as they were; the old files are removed only once both new ones are in place."""
    pair = [(keys_path, text), (sequence_path(keys_path), settings)]
    old, new = [], []  # the paths whose old file was moved aside, and those a new one was renamed to
    try:
        for path, content in pair:
            if content is not None:
                write(path + PART, content)
        for path, content in pair:
            failure = ('Could not write %s: %%s' if content is not None else
                       'Could not remove the old sequence file %s: %%s') % path
            if os.path.isfile(path):
                _rename(path, path + OLD, failure)
                old.append(path)
            if content is not None:
                _rename(path + PART, path, failure)
                new.append(path)
    except Refusal:
        for path in new:
            _remove(path)
        for path in old:
            _rename(path + OLD, path, 'Could not put back the old %s: %%s' % path)
        raise
    finally:
        for path, _ in pair:
            _remove(path + PART)
    for path in old:
        _remove(path + OLD)


def _rename(source, target, failure):
    try:
        os.replace(source, target)
    except OSError as error:
        raise Refusal(failure % error) from None
