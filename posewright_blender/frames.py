"""Times and whole frames, shared by the export and the import: when a key counts as on a frame."""

import math

ON_FRAME = 1e-3  # frames: a key this near a whole frame is on it


def on_frame(frame):
    """The whole frame that frame is on, or None when it lies between two (or is not finite)."""
    whole = round(frame) if math.isfinite(frame) else frame  # inf - inf is nan: never on a frame
    return whole if abs(frame - whole) <= ON_FRAME else None
