"""Finds and runs the Posewright converter on a key file."""

import os
import shutil
import subprocess
import tempfile

from .keys import ExportError

NAMES = ('posewright', 'Posewright.exe', 'Posewright')
TIMEOUT = 120  # seconds; a conversion at the format's capacity takes well under one


def find_converter(preferred=''):
    """The preference if set, else a converter beside the add-on's folder (or in it), else on PATH."""
    if preferred:
        if not os.path.isfile(preferred):
            raise ExportError('The converter set in the add-on preferences was not found: %s' % preferred)
        return preferred
    here = os.path.dirname(os.path.abspath(__file__))
    for folder in (os.path.dirname(here), here):
        for name in NAMES:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and os.access(path, os.X_OK):
                return path
    for name in NAMES:
        path = shutil.which(name)
        if path:
            return path
    raise ExportError('Posewright converter not found: set its path in the add-on preferences, place it '
                      'beside the add-on folder, or put it on PATH')


def convert(converter, template, keys_path):
    """Converts keys_path with template into keys_path's .kf; returns (success line, .kf path).

    The converter names its output after the template up to the first '.' of the whole path and writes
    it into its working folder, so both inputs go under plain names into a fresh folder of their own."""
    destination = os.path.splitext(keys_path)[0] + '.kf'
    if os.path.abspath(destination) == os.path.abspath(template):
        raise ExportError('The .kf would overwrite the template %s: choose another key file name' % template)
    with tempfile.TemporaryDirectory(prefix='posewright-') as work:
        try:
            shutil.copyfile(template, os.path.join(work, 'template.kf'))
            shutil.copyfile(keys_path, os.path.join(work, 'keys.txt'))
            # It waits for a key press before exiting: an empty standard input lets it go at once.
            run = subprocess.run([converter, 'template.kf', 'keys.txt'], cwd=work, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=TIMEOUT,
                                 creationflags=getattr(subprocess, 'CREATE_NO_WINDOW', 0))
        except subprocess.TimeoutExpired:
            raise ExportError('The converter %s did not finish within %d s' % (converter, TIMEOUT)) from None
        except OSError as error:
            raise ExportError('Could not run the converter: %s' % error) from None
        transcript = run.stdout.decode('utf-8', 'replace')
        print(transcript)  # the whole transcript for Blender's console
        lines = [line.strip() for line in transcript.splitlines() if line.strip()]
        if run.returncode != 0:
            reason = next((line for line in lines if 'ERROR' in line), lines[-1] if lines else 'no output')
            raise ExportError('Conversion failed (exit status %d): %s' % (run.returncode, reason))
        try:
            shutil.move(os.path.join(work, 'template_new.kf'), destination)
        except OSError as error:
            raise ExportError('Could not place the converted file at %s: %s' % (destination, error)) from None
    return (lines[-1] if lines else 'done'), destination
