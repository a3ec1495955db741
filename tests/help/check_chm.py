"""Checks a compiled help file: an ITSF container whose directory lists every topic named."""
import sys


def main(chm, *topics):
    data = open(chm, "rb").read()
    if not data.startswith(b"ITSF"):
        print(f"{chm}: not a compiled help file")
        return 1
    # The directory's chunks (PMGL) carry each entry's name in the clear.
    missing = [topic for topic in topics if ("/" + topic).encode() not in data]
    for topic in missing:
        print(f"{chm}: no topic {topic}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
