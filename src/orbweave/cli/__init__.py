"""The `orbweave` command: passes, ground tracks, eclipses and area windows from the shell.

Exit status: 0 on success; 1 when the search failed for some satellite (the others
still ran); 2 for bad input, reported as one line before any search starts; 130
when interrupted with Ctrl-C; 141 when standard output is closed early (`| head`).
"""

from __future__ import annotations

import os
import sys
from typing import Optional, Sequence

from .inputs import InputError


def main(argv: Optional[Sequence[str]] = None) -> int:
    try:
        from . import parser
        args = parser.parse(sys.argv[1:] if argv is None else argv)
        status: int = args.run(args)
        sys.stdout.flush()
        return status
    except InputError as error:
        print(f"orbweave: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        return 130
    except BrokenPipeError:
        # Nothing more can be written; point stdout at /dev/null so that the
        # interpreter's final flush does not fail again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 141
