# SPDX-License-Identifier: MIT
"""The exceptions of the package."""


class CamberError(Exception):
    """Something the package was asked to do failed."""


class LibraryError(CamberError, OSError):
    """The solver library or the program's library cannot be found, loaded or used."""


class SectionError(CamberError, ValueError):
    """A section file cannot be read. filename is the file, lineno the line at fault (None when
    the fault lies with no line, as for a file that does not exist)."""

    def __init__(self, message, filename, lineno):
        super().__init__(message)
        self.filename = filename
        self.lineno = lineno
