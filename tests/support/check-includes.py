#!/usr/bin/env python3
"""Fails when a source includes a layer above its own.

Layers, lowest first; a folder may include its own headers and those of the layers before it.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "model", "timecode", "widgets", "editors", "display", "remote", "shell"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def main() -> int:
    src = pathlib.Path(__file__).resolve().parents[2] / "src"
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in LAYERS:
            faults.append(f"{path.relative_to(src)}: folder '{layer}' is not in the layer list")
            continue
        allowed = set(LAYERS[: LAYERS.index(layer) + 1])
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            top = included.split("/")[0]
            if "/" in included and top in LAYERS and top not in allowed:
                faults.append(f"{path.relative_to(src)}: includes {included}, a layer above '{layer}'")
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print("every include points down the layers: " + " <- ".join(LAYERS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
