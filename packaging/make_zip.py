#!/usr/bin/env python3
"""Writes a zip archive whose bytes depend only on the files put in it.

    make_zip.py --output OUT.zip --root DIR --epoch SECONDS FILE...

Each FILE goes in as DIR/<its base name>, in the order given, with the time
of SECONDS (the commit's time, SOURCE_DATE_EPOCH), a fixed mode (0755 for
.exe, 0644 otherwise) and no extra fields: no build time, owner or umask of
the machine that made it reaches the archive.
"""
import argparse
import os
import time
import zipfile


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True)
    parser.add_argument("--root", required=True, help="the folder the files unpack into")
    parser.add_argument("--epoch", required=True, type=int, help="seconds since 1970, UTC")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    # Zip times are local date and time fields from 1980 on; written in UTC
    # so the time zone of the machine does not matter.
    date_time = time.gmtime(max(args.epoch, 315532800))[:6]
    with zipfile.ZipFile(args.output, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in args.files:
            entry = zipfile.ZipInfo(f"{args.root}/{os.path.basename(path)}", date_time=date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so the mode below is read
            mode = 0o755 if path.endswith(".exe") else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main()
