"""The scenario table, run against one build: native, or Windows under Wine."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402
import directory_cases  # noqa: E402
import fixed_cases  # noqa: E402
import gate_cases  # noqa: E402
import hostile_cases  # noqa: E402
import list_cases  # noqa: E402

CASES = (list_cases.CASES + directory_cases.CASES + fixed_cases.CASES + gate_cases.CASES
         + hostile_cases.CASES)

if __name__ == "__main__":
    sys.exit(harness.main(CASES, sys.argv[1:]))
