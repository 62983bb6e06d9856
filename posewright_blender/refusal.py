"""The add-on's one exception: a refusal, whose text the operator reports as its error."""


class Refusal(Exception):
    """A refusal; its text is what the user reads."""
