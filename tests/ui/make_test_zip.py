#!/usr/bin/env python3
"""Writes the skin archive that the UI tests carry in their resources (type ZIPRES, id 103)."""
import sys
import zipfile

SKIN = ('<?xml version="1.0" encoding="utf-8"?>\n'
        '<Window size="300,200" caption="0,0,0,30">\n'
        '  <Font id="0" name="宋体" size="12" />\n'
        '  <VerticalLayout name="body">\n'
        '    <Label text="资源 &amp; zip" />\n'
        '  </VerticalLayout>\n'
        '</Window>\n')

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("MainWnd.xml", SKIN.encode("utf-8"))
    z.writestr("images/pattern.bin", bytes(i * 7 % 251 for i in range(50000)))
    z.writestr("empty.xml", b"")
