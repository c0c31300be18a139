#!/usr/bin/env python3
"""Writes tests/reliability/fixtures/<name>.dsr for each shipped description: every list element
("...List") keeps its first entry only, so that the file has every record type and stays a few
kilobytes. The reliability tests embed them in a twin of the installer whose runs take the same
file operations as the real one at a fraction of the time; fuzz/run.sh seeds the description
harness with them."""
import pathlib
import xml.etree.ElementTree as ET

root = pathlib.Path(__file__).resolve().parents[2]
device = root / "resources" / "Tessaprint" / "Device"
out = root / "tests" / "reliability" / "fixtures"
out.mkdir(parents=True, exist_ok=True)


def trim(element):
    # Record lists only: value lists may have a fixed length.
    if element.tag.endswith("List") and len(element) > 0 and len(element[0]) > 0:
        for child in list(element)[1:]:
            element.remove(child)
    for child in element:
        trim(child)


for source in sorted(device.glob("*.dsr")):
    tree = ET.parse(source)
    trim(tree.getroot())
    ET.indent(tree, "  ")
    target = out / source.name
    tree.write(target, encoding="UTF-8", xml_declaration=True)
    print(target.name, target.stat().st_size)
