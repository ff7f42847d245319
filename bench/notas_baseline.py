#!/usr/bin/python3
"""The baseline of bench/notas-overhead.sh: what a teacher could write in an
afternoon instead of zelvora-notas. Grades a folder of answer files against a
key with the standard library alone (struct for the records, csv for the
table), prints a line per student and writes the same CSV columns.

Usage: notas_baseline.py KEY FOLDER OUT.csv
"""
import csv
import os
import struct
import sys

RECORD = struct.Struct("<4hiI3i2h")
QUESTIONS = 100


def read_sheet(path):
    """(test type, list of 100 answer masks), or None for a refused file."""
    with open(path, "rb") as f:
        data = f.read()
    if not data or len(data) % RECORD.size:
        return None
    masks = [0] * QUESTIONS
    test_type = None
    for _l, _r, _t, _b, marked, _c, kind, _s, _case, answer, question in RECORD.iter_unpack(data):
        if test_type is None:
            test_type = kind
        if marked == 1 and 1 <= answer <= 5 and 1 <= question <= QUESTIONS:
            masks[question - 1] |= 1 << (answer - 1)
    return test_type, masks


def main():
    key_path, folder, out_path = sys.argv[1:4]
    key_type, key_masks = read_sheet(key_path)
    answers = 5 if key_type == 0 else 2
    letters = "ABCDE" if key_type == 0 else "VF" if key_type == 1 else "TF"
    keep = (1 << answers) - 1
    counted = [q for q in range(QUESTIONS) if key_masks[q] & keep]
    penalty = 1 / (answers - 1)

    with open(out_path, "w", newline="", encoding="utf-8") as out:
        table = csv.writer(out)
        table.writerow(["Fichero", "Aciertos", "Fallos", "En blanco", "Nota"] + [f"P{q + 1}" for q in counted])
        for name in sorted(os.listdir(folder)):
            if not name.endswith(".ztest"):
                continue
            sheet = read_sheet(os.path.join(folder, name))
            if sheet is None or sheet[0] != key_type:
                print(f"{name}: refused", file=sys.stderr)
                continue
            masks = sheet[1]
            hits = misses = blanks = 0
            chosen = []
            for q in counted:
                mark = masks[q] & keep
                if mark == 0:
                    blanks += 1
                elif mark == key_masks[q] & keep:
                    hits += 1
                else:
                    misses += 1
                chosen.append("".join(letters[k] for k in range(answers) if mark >> k & 1))
            grade = max(0.0, hits - penalty * misses) / len(counted) * 10
            print(f"{name:40} {hits:8} {misses:6} {blanks:9} {grade:6.2f}")
            table.writerow([name, hits, misses, blanks, f"{grade:.2f}"] + chosen)


if __name__ == "__main__":
    main()
