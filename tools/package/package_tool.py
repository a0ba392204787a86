#!/usr/bin/env python3
"""Helpers of scripts/package.sh: checks of what a package holds, and the zip writer.

  package_tool.py images FOLDER NAMES_FILE
      every name of NAMES_FILE (one a line) is FOLDER/NAME.png at 64 x 64 pixels and
      FOLDER/128/NAME.png at 128 x 128, and each is a PNG with an alpha channel
  package_tool.py ini ORIGINAL WRITTEN [SECTION.KEY=VALUE ...]
      WRITTEN, a settings file after the module wrote it back, keeps every comment of ORIGINAL
      in its place and every key with its value, but for the values given, and adds nothing
  package_tool.py languages WINDOWS_FOLDER LINUX_FOLDER
      the same language files in both: Windows-1252 with CR LF in the one, UTF-8 in the other
  package_tool.py recipes FOLDER
      runs every nimbrel-host command of the panel recipes in FOLDER/recipes against the package
      in FOLDER (the recipes name it ~/.local/share/nimbrel): each must give a value, not an
      error, and the waybar one a JSON object
  package_tool.py crlf FILE...
      every line of each file ends with CR LF
  package_tool.py zip ARCHIVE FOLDER
      writes FOLDER (its name the top folder of the archive) into a new zip file
"""
import json
import os
import re
import struct
import subprocess
import sys
import zipfile


def fail(message):
    print("package: " + message, file=sys.stderr)
    sys.exit(1)


def png_size(path):
    """Returns (width, height, colour type) of a PNG file, or None when it is not one."""
    with open(path, "rb") as f:
        head = f.read(26)
    if len(head) < 26 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    width, height = struct.unpack(">II", head[16:24])
    return width, height, head[25]


def check_images(folder, names_file):
    with open(names_file, encoding="utf-8") as f:
        names = [line.strip() for line in f if line.strip()]
    if not names:
        fail("no icon names in " + names_file)
    problems = []
    for name in names:
        for path, size in ((os.path.join(folder, name + ".png"), 64),
                           (os.path.join(folder, "128", name + ".png"), 128)):
            if not os.path.isfile(path):
                problems.append("missing " + path)
                continue
            info = png_size(path)
            if info is None:
                problems.append("not a PNG: " + path)
            elif info[:2] != (size, size):
                problems.append("%s is %d x %d, not %d x %d" % (path, info[0], info[1], size, size))
            elif info[2] not in (4, 6):  # grey or colour with alpha: a transparent background
                problems.append("no alpha channel: " + path)
    if problems:
        fail("icons: " + "; ".join(problems[:10]) +
             (" (and %d more)" % (len(problems) - 10) if len(problems) > 10 else ""))
    print("icons: %d names, each at 64 and 128 pixels" % len(names))


def ini_items(path):
    """The file's comments and keys in order: ("comment", section, text) and
    ("key", section, key, value), section and key names in lower case as the module matches
    them."""
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    items = []
    section = ""
    for line in text.splitlines():
        stripped = line.strip()
        if not stripped:
            continue
        if stripped.startswith(";") or stripped.startswith("#"):
            items.append(("comment", section, stripped))
        elif stripped.startswith("["):
            section = stripped[1:stripped.find("]")].strip().lower()
        elif "=" in stripped:
            key, value = stripped.split("=", 1)
            items.append(("key", section, key.strip().lower(), value.strip()))
        else:
            items.append(("key", section, stripped.lower(), None))
    return items


def check_ini(original, written, changes):
    expected = []
    wanted = {}
    for change in changes:
        name, value = change.split("=", 1)
        section, key = name.split(".", 1)
        wanted[(section.lower(), key.lower())] = value
    for item in ini_items(original):
        if item[0] == "key" and (item[1], item[2]) in wanted:
            item = ("key", item[1], item[2], wanted.pop((item[1], item[2])))
        expected.append(item)
    if wanted:
        fail("ini: %s names keys that %s lacks" % (", ".join("%s.%s" % k for k in wanted),
                                                   original))
    actual = ini_items(written)
    if actual != expected:
        lost = [i for i in expected if i not in actual]
        added = [i for i in actual if i not in expected]
        fail("ini: %s after shutdown differs from %s: lost %s; added or changed %s"
             % (written, original, lost[:5] or "nothing", added[:5] or "nothing"))
    comments = sum(1 for i in expected if i[0] == "comment")
    keys = len(expected) - comments
    print("ini: %s kept %d comment lines and %d keys%s" %
          (os.path.basename(written), comments, keys,
           " (" + ", ".join(changes) + " written back)" if changes else ""))


def check_languages(windows, linux):
    names = sorted(n for n in os.listdir(linux) if n.endswith(".ini"))
    if sorted(n for n in os.listdir(windows) if n.endswith(".ini")) != names:
        fail("languages: %s and %s hold different files" % (windows, linux))
    for name in names:
        with open(os.path.join(windows, name), "rb") as f:
            ansi = f.read()
        with open(os.path.join(linux, name), "rb") as f:
            utf8 = f.read()
        try:
            text = utf8.decode("utf-8")
        except UnicodeDecodeError as e:
            fail("languages: %s is not UTF-8 (%s)" % (os.path.join(linux, name), e))
        try:
            ansi_text = ansi.decode("cp1252")
        except UnicodeDecodeError as e:
            fail("languages: %s is not Windows-1252 (%s)" % (os.path.join(windows, name), e))
        # A UTF-8 file read as Windows-1252 shows other letters, so this also finds a Windows
        # file that was left in UTF-8.
        if ansi_text.replace("\r\n", "\n") != text.replace("\r\n", "\n"):
            fail("languages: %s says something else than %s" % (os.path.join(windows, name),
                                                               os.path.join(linux, name)))
    print("languages: %d files, the same words in Windows-1252 and in UTF-8" % len(names))


RECIPE_FOLDER = re.compile(r"(~|\$HOME)/\.local/share/nimbrel/")


def recipe_commands(folder):
    """The shell commands of the recipes that call nimbrel-host: (recipe, command, is_json)."""
    commands = []
    with open(os.path.join(folder, "recipes", "conky.conf"), encoding="utf-8") as f:
        conky = f.read()
    text = conky[conky.index("conky.text"):]
    for match in re.finditer(r"\$\{execi \d+ ([^}]*)\}|`([^`]*)`", text):
        commands.append(("conky.conf", match.group(1) or match.group(2), False))
    with open(os.path.join(folder, "recipes", "waybar-config.jsonc"), encoding="utf-8") as f:
        waybar = json.loads("".join(l for l in f if not l.lstrip().startswith("//")))
    commands.append(("waybar-config.jsonc", waybar["custom/nimbrel"]["exec"], True))
    return commands


def conky_objects(line):
    """Splits one line of conky text into its ${...} objects and the plain text between them."""
    parts, i = [], 0
    while i < len(line):
        start = line.find("${", i)
        if start < 0:
            parts.append(line[i:])
            break
        if start > i:
            parts.append(line[i:start])
        depth, end = 0, start
        while end < len(line):
            if line.startswith("${", end):
                depth += 1
                end += 2
                continue
            if line[end] == "}":
                depth -= 1
                if depth == 0:
                    break
            end += 1
        parts.append(line[start:end + 1])
        i = end + 1
    return parts


CONKY_IMAGE = re.compile(r"\$\{image\s[^}]*\}")
CONKY_NUMBER = re.compile(r"\$\{(goto|voffset|save_coordinates)\s+(-?\d+)\}$")
# Objects that draw nothing themselves; $font and $color alone are plain text to the scanner.
CONKY_SILENT = re.compile(r"\$\{(font|color)\b[^}]*\}$|^(\$font|\$color\d?)")


def conky_layout_faults(conf):
    """Where the conky recipe lets a picture and a text meet. A picture must be anchored to the
    text (${save_coordinates N} then image -i N: a fixed -p position drifts from the lines when
    the fonts change), and any text after it on its line must stand either to its right
    (${goto} past its width) or below it (a ${voffset} past its height since the anchor). Returns
    one message a fault, an empty list when there is none."""
    text = conf[conf.index("conky.text"):]
    text = text[text.index("[[") + 2:text.rindex("]]")].replace("\\\n", "")
    faults = []
    for number, line in enumerate(text.split("\n"), 1):
        x, saved, pictures = 0, {}, []  # saved: slot -> (x, voffset so far)
        voffset = 0
        for part in conky_objects(line):
            numeric = CONKY_NUMBER.match(part)
            images = CONKY_IMAGE.findall(part.replace("\\$", "$"))
            if numeric:
                name, value = numeric.group(1), int(numeric.group(2))
                if name == "goto":
                    x = value
                elif name == "voffset":
                    voffset += value
                else:
                    saved[value] = (x, voffset)
            elif images:
                for image in images:
                    slot = re.search(r"\s-i\s+(\d+)", image)
                    size = re.search(r"\s-s\s+(\d+)x(\d+)", image)
                    if not slot or " -p " in image:
                        faults.append("line %d: a picture at a fixed place: %s" % (number, image))
                    elif int(slot.group(1)) not in saved:
                        faults.append("line %d: no ${save_coordinates %s} before %s" %
                                      (number, slot.group(1), image))
                    elif not size:
                        faults.append("line %d: a picture without its size: %s" % (number, image))
                    else:
                        left, top = saved[int(slot.group(1))]
                        pictures.append((left, top, int(size.group(1)), int(size.group(2))))
            elif part.strip() and not CONKY_SILENT.search(part.strip()):
                for left, top, width, height in pictures:
                    beside = x >= left + width
                    below = voffset - top > height
                    if not beside and not below:
                        faults.append("line %d: %s at x %d meets the %dx%d picture at x %d" %
                                      (number, part[:60], x, width, height, left))
    return faults


def check_recipes(folder):
    folder = os.path.abspath(folder)
    with open(os.path.join(folder, "recipes", "conky.conf"), encoding="utf-8") as f:
        for fault in conky_layout_faults(f.read()):
            fail("recipes: conky.conf: " + fault)
    count = 0
    for recipe, command, is_json in recipe_commands(folder):
        if not RECIPE_FOLDER.search(command):
            fail("recipes: %s runs something else than the package: %s" % (recipe, command))
        local = RECIPE_FOLDER.sub(lambda _: folder + "/", command)
        # Every process of the user shares the module's lock, so another program's long call
        # may hold it past the wait: that answer is asked again, as the panel would next time.
        for _ in range(3):
            run = subprocess.run(["sh", "-c", local], capture_output=True)
            out = run.stdout.decode("utf-8", "replace").strip()
            if "utex timeout" not in out:
                break
        if is_json and run.returncode == 0:
            try:
                reply = json.loads(out)
            except ValueError:
                reply = {}
            # A failed call carries the class "error"; the tooltip must be there too.
            failed = "class" in reply or not reply.get("text") or not reply.get("tooltip")
            out = "ERROR (not a good JSON object: %s)" % out if failed else reply["text"]
        if run.returncode != 0 or not out or "N/A" in out or out.startswith("ERROR"):
            fail("recipes: %s: %s gave %r (%s)" % (recipe, command, out,
                                                   run.stderr.decode("utf-8", "replace").strip()))
        count += 1
    print("recipes: %d nimbrel-host calls of conky and waybar give values" % count)


def check_crlf(paths):
    for path in paths:
        with open(path, "rb") as f:
            data = f.read()
        lines = data.split(b"\n")
        if not data.endswith(b"\r\n") or any(not l.endswith(b"\r") for l in lines[:-1]):
            fail("not CR LF throughout: " + path)
    print("crlf: %d files" % len(paths))


def write_zip(archive, folder):
    folder = os.path.normpath(folder)
    top = os.path.basename(folder)
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            relative = os.path.relpath(root, folder)
            base = top if relative == "." else top + "/" + relative.replace(os.sep, "/")
            z.write(root, base + "/")
            for name in sorted(files):
                z.write(os.path.join(root, name), base + "/" + name)


def main(argv):
    if len(argv) >= 3 and argv[1] == "images" and len(argv) == 4:
        check_images(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "ini":
        check_ini(argv[2], argv[3], argv[4:])
    elif len(argv) == 4 and argv[1] == "languages":
        check_languages(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "recipes":
        check_recipes(argv[2])
    elif len(argv) >= 3 and argv[1] == "crlf":
        check_crlf(argv[2:])
    elif len(argv) == 4 and argv[1] == "zip":
        write_zip(argv[2], argv[3])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
