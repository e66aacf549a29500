#!/usr/bin/env python3
"""Checks that a JSON report holds the same rows as its tab-separated form.

    same_rows.py REPORT.TSV REPORT.JSON CODEPAGE

The JSON file must be ASCII, parse as an array of objects whose members are
the tab-separated header's columns in their order, and hold, row by row, the
tab-separated fields read in the given code page (e.g. cp1252).
"""
import json
import sys


def main(tsv_path, json_path, codepage):
    with open(tsv_path, 'rb') as f:
        lines = f.read().decode(codepage).split('\n')
    if lines[-1] != '':
        sys.exit('the tab-separated report does not end with a line end')
    header, rows = lines[0].split('\t'), [line.split('\t') for line in lines[1:-1]]
    with open(json_path, 'rb') as f:
        raw = f.read()
    try:
        raw.decode('ascii')
    except UnicodeDecodeError as e:
        sys.exit(f'the JSON report is not ASCII: {e}')
    objects = json.loads(raw)
    if not isinstance(objects, list) or len(objects) != len(rows):
        sys.exit(f'{len(rows)} tab-separated rows, JSON: {objects!r:.200}')
    for number, (obj, row) in enumerate(zip(objects, rows), 1):
        if not isinstance(obj, dict) or list(obj.keys()) != header:
            sys.exit(f'row {number}: members {list(obj)!r}, columns {header!r}')
        if list(obj.values()) != row:
            sys.exit(f'row {number}: JSON {list(obj.values())!r}, tab-separated {row!r}')
    print(f'{len(rows)} rows alike')


if __name__ == '__main__':
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
