#!/bin/sh
# Runs the Blender add-on's tests headless on one Blender, in a throw-away Blender user folder:
# `run.sh blender` on the blender program (Debian's, 3.4), `run.sh PYTHON` on a Python that holds Blender
# as the bpy module (build/bpy-*/bin/python, which `make blender-bpy` installs). Exits 77, with a line
# saying so, when that Blender is not there.
# Environment: POSEWRIGHT_ADDON_ZIP (else zipped here from POSEWRIGHT_ADDON_DIR/posewright_blender, by
# default this repository's), and POSEWRIGHT (the converter), POSEWRIGHT_TEMPLATE and POSEWRIGHT_KEYS (the .kf
# reader), which the road test needs.
runner=${1:-blender}
if [ "$runner" = blender ]; then
    command -v blender >/dev/null 2>&1 || { echo 'SKIPPED: blender is not installed'; exit 77; }
    set -- blender -b --factory-startup --python-exit-code 1 --python
else
    [ -x "$runner" ] || { echo "SKIPPED: $runner is not there (make blender-bpy installs it)"; exit 77; }
    set -- "$runner"
fi
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
# Blender's own variables as well as HOME, so that nothing reaches the real user's configuration.
export HOME="$scratch" BLENDER_USER_CONFIG="$scratch/config" BLENDER_USER_SCRIPTS="$scratch/scripts" \
    BLENDER_USER_EXTENSIONS="$scratch/extensions" TMPDIR="$scratch"
if [ -z "$POSEWRIGHT_ADDON_ZIP" ]; then
    export POSEWRIGHT_ADDON_ZIP="$scratch/posewright_blender.zip"
    addon="${POSEWRIGHT_ADDON_DIR:-$here/../..}/posewright_blender"
    mkdir -p "$scratch/zip/posewright_blender" &&
        cp "$addon"/*.py "$addon"/blender_manifest.toml "$scratch/zip/posewright_blender" &&
        (cd "$scratch/zip" && python3 -m zipfile -c "$POSEWRIGHT_ADDON_ZIP" posewright_blender) || exit 1
fi
"$@" "$here/test_addon.py" </dev/null
