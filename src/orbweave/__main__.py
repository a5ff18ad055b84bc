"""`python -m orbweave`: the `orbweave` command."""

import sys

from orbweave.cli import main

if __name__ == "__main__":
    sys.exit(main())
