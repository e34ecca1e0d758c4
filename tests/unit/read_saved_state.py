#!/usr/bin/env python3
"""Reads a preset saved by the plug-in and its full state with Python's own property-list reader
and checks every key and value. Usage: read_saved_state.py WRITER FOLDER"""
import os
import plistlib
import struct
import subprocess
import sys

IDENTIFIERS = ["kCompanderAttack", "kCompanderRelease", "kCompanderThreshold", "kCompanderRatio",
               "kCompanderGain", "kCompanderMix", "kCompanderMode", "kCompanderBypass",
               "kCompanderAudition", "kCompanderInputFilterHP", "kCompanderInputFilterLP",
               "kCompanderFinalLimiter"]
VALUES = [0.1, 0.37, 0.8, 0.123456789, 0.999, 0.25, 3.0, 1.0, 0.0, 0.0, 1.0, 0.0]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def code(text):
    return int.from_bytes(text.encode("ascii"), "big")


def check(condition, what):
    if not condition:
        print("FAILED: " + what)
        sys.exit(1)


def check_preset(root, where):
    check(list(root.keys()) == ["version", "type", "manufacturer", "subtype", "number", "name",
                                "count", "group 0"], where + ": root keys " + repr(list(root)))
    check(root["version"] == 1, where + ": version")
    check(root["type"] == code("aumf"), where + ": type")
    check(root["manufacturer"] == code("Qrbn"), where + ": manufacturer")
    check(root["subtype"] == code("orvc"), where + ": subtype")
    check(root["number"] == 0, where + ": number")
    check(root["name"] == "Orvex Compander Preset", where + ": name")
    check(root["count"] == 1, where + ": count")
    group = root["group 0"]
    check(set(group) == {"identifier", "count"} | {"param %d" % i for i in range(12)},
          where + ": group keys " + repr(sorted(group)))
    check(group["identifier"] == "kGlobalParameters", where + ": group identifier")
    check(group["count"] == 12, where + ": group count")
    for i in range(12):
        param = group["param %d" % i]
        check(set(param) == {"address", "identifier", "value"}, where + ": param %d keys" % i)
        check(param["address"] == i and isinstance(param["address"], int),
              where + ": param %d address" % i)
        check(param["identifier"] == IDENTIFIERS[i], where + ": param %d identifier" % i)
        value = param["value"]
        check(isinstance(value, float), where + ": param %d value is a real" % i)
        check(f32(value) == value, where + ": param %d value is a 32-bit float" % i)
        check(value == f32(VALUES[i]), where + ": param %d value %r" % (i, value))


def main():
    writer, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    subprocess.run([writer, folder], check=True)
    with open(os.path.join(folder, "preset.plist"), "rb") as f:
        data = f.read()
    check(data.startswith(b"<?xml"), "the preset is an XML property list")
    preset = plistlib.loads(data)
    check_preset(preset, "preset")
    with open(os.path.join(folder, "fullstate.plist"), "rb") as f:
        state = plistlib.load(f)
    check_preset(state, "full state")
    check(state == preset, "the full state equals the saved preset")
    print("OK: preset and full state read by plistlib")


if __name__ == "__main__":
    main()
