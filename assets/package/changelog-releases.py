"""Prints the entries of a Debian changelog as AppStream <release> elements,
newest first, so that the package's release notes have one source."""
import email.utils
import html
import re
import sys

HEAD = re.compile(r"^\S+ \(([^)]+)\)")
TRAILER = re.compile(r"^ -- .*?  (.+)$")


def releases(text):
    entries, current = [], None
    for line in text.splitlines():
        head = HEAD.match(line)
        if head:
            current = {"version": head.group(1), "items": []}
            continue
        if current is None:
            continue
        trailer = TRAILER.match(line)
        if trailer:
            date = email.utils.parsedate_to_datetime(trailer.group(1)).date().isoformat()
            entries.append((current["version"], date, current["items"]))
            current = None
        elif line.startswith("  * "):
            current["items"].append(line[4:].strip())
        elif line.startswith("    ") and current["items"]:
            current["items"][-1] += " " + line.strip()
    if not entries:
        raise SystemExit("no changelog entries")
    out = []
    for version, date, items in entries:
        out.append(f'    <release version="{html.escape(version)}" date="{date}">')
        out.append("      <description>")
        out.append("        <ul>")
        out.extend(f"          <li>{html.escape(item, quote=False)}</li>" for item in items)
        out.append("        </ul>")
        out.append("      </description>")
        out.append("    </release>")
    return "\n".join(out)


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as f:
        print(releases(f.read()))
