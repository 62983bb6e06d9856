#!/bin/sh
# Runs the Blender add-on's tests headless in a throw-away Blender user folder; exits 77 without Blender.
# Environment: POSEWRIGHT_ADDON_ZIP (else zipped here from POSEWRIGHT_ADDON_DIR/posewright_blender, by
# default this repository's), and POSEWRIGHT (the converter), POSEWRIGHT_TEMPLATE and POSEWRIGHT_KEYS (the .kf
# reader), which the road test needs.
if ! command -v blender >/dev/null 2>&1; then
    echo 'SKIPPED: blender is not installed'
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
# Blender's own variables as well as HOME, so that nothing reaches the real user's configuration.
export HOME="$scratch" BLENDER_USER_CONFIG="$scratch/config" BLENDER_USER_SCRIPTS="$scratch/scripts" TMPDIR="$scratch"
if [ -z "$POSEWRIGHT_ADDON_ZIP" ]; then
    export POSEWRIGHT_ADDON_ZIP="$scratch/posewright_blender.zip"
    addon="${POSEWRIGHT_ADDON_DIR:-$here/../..}/posewright_blender"
    mkdir -p "$scratch/zip/posewright_blender" && cp "$addon"/*.py "$scratch/zip/posewright_blender" &&
        (cd "$scratch/zip" && python3 -m zipfile -c "$POSEWRIGHT_ADDON_ZIP" posewright_blender) || exit 1
fi
exec blender -b --factory-startup --python-exit-code 1 --python "$here/test_addon.py" </dev/null
