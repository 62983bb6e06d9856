"""Finds and runs the two Posewright programs: the converter on a key file (and its sequence file), and
posewright-keys on a .kf for the import and on a skeleton for the skeleton import."""

import os
import re
import shutil
import subprocess
import tempfile

from . import files
from .refusal import Refusal
from .sequence import sequence_path

CONVERTER = ('posewright', 'Posewright.exe', 'Posewright')
READER = ('posewright-keys', 'Posewright-Keys.exe', 'Posewright-Keys')
TIMEOUT = 120  # seconds; a conversion at the format's capacity takes well under one
SHOWN = 3  # lines of a program's findings one report shows whole; the console has them all
_WRITTEN = re.compile(r"^\t- '(.*_keys\.txt)' <written>$", re.MULTILINE)
_SUMMARY = re.compile(r'^\d+ of \d+ key files converted$')  # a batch's, which ends it whatever its status
_NOT_CONVERTED = re.compile(r"^- '(.*)' was NOT converted$")
_NOTED = 'Compressed: '  # how --compress wrote the bones, which the report shows as it is


def find_program(names, preferred='', beside=''):
    """The preference if set, else one beside `beside` (the configured converter), beside the add-on's
    folder (or in it), else on PATH."""
    if preferred:
        if not os.path.isfile(preferred):
            raise Refusal('The %s set in the add-on preferences was not found: %s' % (names[0], preferred))
        return preferred
    here = os.path.dirname(os.path.abspath(__file__))
    folders = ([os.path.dirname(beside)] if beside else []) + [os.path.dirname(here), here]
    for folder in folders:
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and os.access(path, os.X_OK):
                return path
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    raise Refusal('%s not found: set its path in the add-on preferences, place it beside the add-on '
                  'folder, or put it on PATH' % names[0])


def _run(program, arguments, work, what, files=1):
    """The program's transcript, run in `work`; refuses when it fails, a batch when it ends without its
    summary."""
    try:
        # It waits for a key press before exiting: an empty standard input lets it go at once.
        run = subprocess.run([program, *arguments], cwd=work, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=TIMEOUT * files,
                             creationflags=getattr(subprocess, 'CREATE_NO_WINDOW', 0))
    except subprocess.TimeoutExpired:
        raise Refusal('%s did not finish within %d s' % (program, TIMEOUT * files)) from None
    except OSError as error:
        raise Refusal('Could not run %s: %s' % (program, error)) from None
    transcript = run.stdout.decode('utf-8', 'replace')
    print(transcript)  # the whole transcript for Blender's console
    lines = [line.strip() for line in transcript.splitlines() if line.strip()]
    if not (any(_SUMMARY.match(line) for line in lines) if files > 1 else run.returncode == 0):
        reason = next((line for line in lines if 'ERROR' in line), None) or (
            'no summary of the key files, as a batch ends' if files > 1 else lines[-1] if lines else 'no output')
        raise Refusal('%s failed (exit status %d): %s' % (what, run.returncode, reason))
    return transcript, lines


def summary(what, lines):
    """A program's findings as one report: how many, then the first few whole."""
    more = ', the first %d (all in the console)' % SHOWN if len(lines) > SHOWN else ''
    return '%s: %d%s\n%s' % (what, len(lines), more, '\n'.join(lines[:SHOWN]))


def _said(lines):
    """The converter's WARNING lines and its lines the report notes, of one key file."""
    return ([line for line in lines if line.startswith('WARNING: ')],
            [line for line in lines if line.startswith(_NOTED)])


def convert(converter, template, keys_path, skeleton='', options=()):
    """Converts keys_path (with its sequence file) with template, checked against skeleton when given and
    with the converter's options, into keys_path's .kf; returns (success line, .kf path, the converter's
    WARNING lines, its lines to note).

    The converter names its output after the template up to the first '.' of the whole path and writes
    it into its working folder, so the inputs go under plain names into a fresh folder of their own."""
    destination = os.path.splitext(keys_path)[0] + '.kf'
    if os.path.abspath(destination) == os.path.abspath(template):
        raise Refusal('The .kf would overwrite the template %s: choose another key file name' % template)
    with tempfile.TemporaryDirectory(prefix='posewright-') as work:
        try:
            shutil.copyfile(template, os.path.join(work, 'template.kf'))
            shutil.copyfile(keys_path, os.path.join(work, 'keys.txt'))
            if os.path.isfile(sequence_path(keys_path)):
                shutil.copyfile(sequence_path(keys_path), os.path.join(work, 'keys.sequence.txt'))
        except OSError as error:
            raise Refusal('Could not copy the inputs for the converter: %s' % error) from None
        skeleton = ['--skeleton', skeleton] if skeleton else []
        lines = _run(converter, skeleton + [*options, 'template.kf', 'keys.txt'], work, 'Conversion')[1]
        try:
            shutil.move(os.path.join(work, 'template_new.kf'), destination)
        except OSError as error:
            raise Refusal('Could not place the converted file at %s: %s' % (destination, error)) from None
    return ((lines[-1] if lines else 'done'), destination, *_said(lines))


def convert_all(converter, template, paths, skeleton='', options=()):
    """Converts each key file (with its sequence file) with template, each into its name with .kf for its
    extension, in one run of the converter; returns the outcome line, the WARNING lines on the template,
    and for each key file (None when converted, else the converter's line on it; its WARNING lines; its
    lines to note)."""
    if len(paths) == 1:
        try:
            outcome, _, *said = convert(converter, template, paths[0], skeleton, options)
            return outcome, [], [(None, *said)]
        except Refusal as error:
            return '0 of 1 key files converted', [], [(str(error), [], [])]
    skeleton = ['--skeleton', skeleton] if skeleton else []
    lines = _run(converter, skeleton + [*options, template, *paths], os.path.dirname(paths[0]),
                 'Conversion', len(paths))[1]
    end = next(i for i, line in enumerate(lines) if _SUMMARY.match(line))
    failed = {match.group(1) for match in map(_NOT_CONVERTED.match, lines[end + 1:]) if match}
    # Each key file's section begins where the converter first names it, as it opens it.
    starts = []
    for path in paths:
        at = starts[-1] if starts else 0
        starts.append(next((i for i in range(at, end) if "'%s'" % path in lines[i]), at))
    results = []
    for path, start, stop in zip(paths, starts, starts[1:] + [end]):
        section = lines[start:stop]
        reason = next((line for line in section if 'ERROR' in line), section[-1] if section else lines[end])
        results.append((reason if path in failed else None, *_said(section)))
    return lines[end], _said(lines[:starts[0]])[0], results


def read_kf(reader, kf_path, rate=None):
    """The bytes of every key file posewright-keys writes for kf_path and of the sequence file beside it
    (None when there is none), in its transcript's order, and its problem lines; curves are sampled at
    rate keys a second when given, else at its default."""
    with tempfile.TemporaryDirectory(prefix='posewright-') as work:
        try:
            shutil.copyfile(kf_path, os.path.join(work, 'animation.kf'))
        except OSError as error:
            raise Refusal('Could not read %s: %s' % (kf_path, error)) from None
        arguments = (['--rate', '%.17g' % rate] if rate else []) + ['animation.kf']
        transcript, lines = _run(reader, arguments, work, 'Reading %s' % os.path.basename(kf_path))
        return [files.read_pair(os.path.join(work, name)) for name in _WRITTEN.findall(transcript)], _problems(lines)


def _problems(lines):
    """posewright-keys' problem lines, which follow its 'Problems found:' line."""
    problems = lines[lines.index('Problems found:') + 1:] if 'Problems found:' in lines else []
    return [line for line in problems if line.startswith('- ')]


def read_nodes(reader, nif_path):
    """The bytes of the node text posewright-keys --nodes writes for the skeleton nif_path, and its
    problem lines."""
    with tempfile.TemporaryDirectory(prefix='posewright-') as work:
        try:
            shutil.copyfile(nif_path, os.path.join(work, 'skeleton.nif'))
        except OSError as error:
            raise Refusal('Could not read %s: %s' % (nif_path, error)) from None
        lines = _run(reader, ['--nodes', 'skeleton.nif'], work, 'Reading %s' % os.path.basename(nif_path))[1]
        return files.read(os.path.join(work, 'skeleton_nodes.txt')), _problems(lines)
