#!/usr/bin/env python3
"""Prints deb-src entries for the machine's own Debian archives, derived from its apt source list
(same URIs, suites and components). The security archive is left out: its pool lacks some
upstream tarballs, and the main archive's sources are what the build needs."""
import glob
import re

out = []


def is_debian(st):
    return "debian-archive-keyring" in st.get("signed-by", "") or re.search(r"/debian/?$", st.get("uris", ""))


for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    if path.endswith("tollvane-src.sources"):
        continue
    for block in re.split(r"\n\s*\n", open(path).read()):
        st = {}
        for line in block.splitlines():
            if line.startswith("#") or ":" not in line:
                continue
            k, v = line.split(":", 1)
            st[k.strip().lower()] = v.strip()
        if "deb" in st.get("types", "").split() and is_debian(st) and "-security" not in st.get("uris", ""):
            lines = ["Types: deb-src", "URIs: " + st["uris"], "Suites: " + st["suites"],
                     "Components: " + st.get("components", "main")]
            if "signed-by" in st:
                lines.append("Signed-By: " + st["signed-by"])
            out.append("\n".join(lines))

for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        m = re.match(r"\s*deb\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)", line)
        if m and re.search(r"/debian/?$", m.group(2)):
            out.append("Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s" % (m.group(2), m.group(3), m.group(4).strip()))

print("\n\n".join(out))
